#include <gtest/gtest.h>
#include "common/TestServer.h"
TEST(Smoke, ServerSettingsKnown) { EXPECT_FALSE(TestServer::serverAddress().isEmpty()); }
