#pragma once

class QWidget;

// The demo's shared look: windows in a warm grey with an 8 point
// "MS Sans Serif" (fontconfig substitutes it), edits, lists and grids in a
// pale cream.
namespace FormStyle {
void ApplyFormLook(QWidget* window);
void ApplyEditLook(QWidget* control);
}
