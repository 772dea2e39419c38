#pragma once
// Helpers for driving the demo's windows in tests: recording messages and
// answering modal dialogs, whose exec() blocks the test's own code.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/AppExceptionHandler.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "common/ModalWatcher.h"
#include "common/TestServer.h"
#include "core/ExceptionHandler.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

// Records every message and every handled exception instead of showing them.
struct MessageRecorder {
    QStringList errors;
    QStringList informations;

    MessageRecorder()
    {
        InstallAppExceptionHandler();
        AppMessages::SetHook([this](AppMessages::Kind kind, const QString& text) {
            (kind == AppMessages::Kind::Error ? errors : informations).append(text);
        });
    }
    ~MessageRecorder()
    {
        AppMessages::SetHook({});
        SetExceptionHandler({});
    }
    void clear()
    {
        errors.clear();
        informations.clear();
    }
};

// A session of the test's own on one of the server's databases, to read
// what the windows should show.
struct OwnSession {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery query;

    explicit OwnSession(const QString& path, int dialect = 1)
    {
        TestServer::configure(db, path);
        db.SetLoginPrompt(false);
        db.SetSQLDialect(dialect);
        db.SetDefaultTransaction(&tr);
        tr.SetDefaultDatabase(&db);
        db.SetConnected(true);
        query.SetDatabase(&db);
        query.SetTransaction(&tr);
    }
    // Opens sql: the query stands on its first row.
    TIBQuery& Open(const QString& sql)
    {
        query.Close();
        query.SetSQL(sql);
        query.Open();
        return query;
    }
};

// The demo's main window, shown, with its designs and cache in a folder of
// the test's own and employee.ini found where the demo runs from.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cacheDir.isValid());
        previousDir = QDir::currentPath();
        QStandardPaths::setTestModeEnabled(true);   // keep the user's data folder out of it
        QDir::setCurrent(QStringLiteral(LARKSPAN_SOURCE_DIR "/app"));
        form = std::make_unique<TMainForm>();
        form->Larkspan1->SetPermanentCacheDir(cacheDir.path());
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        QDir::setCurrent(previousDir);
    }

    void Connect(const QString& path = TestServer::employeeDialect1())
    {
        form->ServerAddr->setText(TestServer::serverAddress());
        form->Path->setText(path);
        form->BtnConnect->click();
        ASSERT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
        ASSERT_TRUE(form->IBDatabase1->Connected());
    }

    static QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text)
    {
        const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    // Selects a table node in the tree by its shown name.
    void SelectTable(const QString& text)
    {
        QTreeWidgetItem* node = FindItem(form->TreeView1, text);
        ASSERT_NE(node, nullptr) << text.toStdString();
        form->TreeView1->setCurrentItem(node);
    }
    QTreeWidgetItem* Field(const QString& text) { return FindItem(form->ListView1, text); }
    void Tick(const QString& text)
    {
        QTreeWidgetItem* item = Field(text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        item->setCheckState(0, Qt::Checked);
    }

    MessageRecorder messages;
    QTemporaryDir cacheDir;
    QString previousDir;
    std::unique_ptr<TMainForm> form;
};
