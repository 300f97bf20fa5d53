#include "data/ui/frmmain.h"

#include <gtest/gtest.h>

using namespace ondrel;

TEST(frmMain, CaptionCarriesTheVersion) {
  frmMain window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Ondrel Tester Software V1.0.0"));
  EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
}
