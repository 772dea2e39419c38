#include "app/FormStyle.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace FormStyle {
void ApplyFormLook(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(207, 200, 191));
    palette.setColor(QPalette::Button, QColor(207, 200, 191));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    // Where the font itself is missing, prefer the narrow sans-serif faces
    // whose widths are close to it, so the captions fit the fixed geometry.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    window->setFont(font);
}

void ApplyEditLook(QWidget* control)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, QColor(240, 240, 224));
    control->setPalette(palette);
}
}
