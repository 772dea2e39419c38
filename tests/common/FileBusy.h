#pragma once
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <gtest/gtest.h>

#include "core/Errors.h"

// action on the query file at path, locked by another program, must wait
// for the lock for a while and then fail with the busy message.
inline void ExpectFileBusy(const QString& path, const std::function<void()>& action, const char* what)
{
    const QString busy = "The file \"" + path + "\" is busy: another program is using it. Try again in a moment.";
    QElapsedTimer waited;
    waited.start();
    try {
        action();
        ADD_FAILURE() << what << " went through";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), busy) << what;
    }
    EXPECT_GE(waited.elapsed(), 1500) << what;
    EXPECT_LT(waited.elapsed(), 6000) << what;
}
