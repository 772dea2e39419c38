// Larkspan Demo: the visual query designer wired to a Firebird database.
#include <QApplication>
#include <QCommandLineParser>

#include "app/AppExceptionHandler.h"
#include "app/BusyPointer.h"
#include "app/Main.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"

#include <QLineEdit>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    InstallBusyPointer();
    QCoreApplication::setOrganizationName(QStringLiteral("Larkspan"));
    QCoreApplication::setApplicationName(QStringLiteral("Larkspan Demo"));
    InstallAppExceptionHandler();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Visual query designer demo for Firebird databases"));
    parser.addHelpOption();
    const QCommandLineOption serverOption(QStringLiteral("server"),
                                          QStringLiteral("Pre-fill the server address, e.g. localhost/3057."),
                                          QStringLiteral("ADDRESS"));
    const QCommandLineOption pathOption(QStringLiteral("path"),
                                        QStringLiteral("Pre-fill the database path on the server."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption userOption(QStringLiteral("user"),
                                        QStringLiteral("Log in as USER instead of the stored sysdba."),
                                        QStringLiteral("USER"));
    const QCommandLineOption passwordOption(QStringLiteral("password"),
                                            QStringLiteral("Log in with PASSWORD instead of the stored one."),
                                            QStringLiteral("PASSWORD"));
    const QCommandLineOption tableOption(QStringLiteral("table"),
                                         QStringLiteral("Build the tree around TABLE (default Employee)."),
                                         QStringLiteral("TABLE"));
    const QCommandLineOption detailOption(QStringLiteral("detail"),
                                          QStringLiteral("Hang DETAIL under the main table (default Employee_project)."),
                                          QStringLiteral("DETAIL"));
    parser.addOption(tableOption);
    parser.addOption(detailOption);
    parser.addOption(serverOption);
    parser.addOption(pathOption);
    parser.addOption(userOption);
    parser.addOption(passwordOption);
    parser.process(application);

    // The main window is created first; closing it ends the program.
    TMainForm MainForm;
    if (parser.isSet(serverOption))
        MainForm.ServerAddr->setText(parser.value(serverOption));
    if (parser.isSet(pathOption))
        MainForm.Path->setText(parser.value(pathOption));
    if (parser.isSet(tableOption))
        MainForm.Larkspan1->SetTableName(parser.value(tableOption));
    if (parser.isSet(detailOption))
        MainForm.Larkspan1->SetDetailTableName(parser.value(detailOption));
    // Login parameters for a server of the user's own; the stored ones fit
    // the private demo server. Like Firebird's own tools, ISC_USER and
    // ISC_PASSWORD give them when the command line does not.
    const QString user = parser.isSet(userOption) ? parser.value(userOption) : qEnvironmentVariable("ISC_USER");
    const QString password =
        parser.isSet(passwordOption) ? parser.value(passwordOption) : qEnvironmentVariable("ISC_PASSWORD");
    if (!user.isEmpty() || !password.isEmpty()) {
        QStringList params;
        for (const QString& line : MainForm.IBDatabase1->Params()) {
            const QString name = line.section(QLatin1Char('='), 0, 0).trimmed().toLower();
            if (!(name == QLatin1String("user_name") && !user.isEmpty()) &&
                !(name == QLatin1String("password") && !password.isEmpty()))
                params << line;
        }
        if (!user.isEmpty())
            params << QStringLiteral("user_name=") + user;
        if (!password.isEmpty())
            params << QStringLiteral("password=") + password;
        MainForm.IBDatabase1->SetParams(params);
    }

    // The results window lives as long as the program and is reused for
    // every "Open results".
    auto* FQueryResult = new TFQueryResult(&MainForm, MainForm.ResultQuery);
    MainForm.SetQueryResultForm(FQueryResult);

    // Created with the other windows, as the saved layout does; every save
    // uses a fresh dialog of its own.
    TFQueryName FQueryName(&MainForm);

    MainForm.show();
    return application.exec();
}
