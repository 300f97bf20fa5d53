#include "data/ui/frmmain.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

using namespace ondrel;

TEST(frmMain, CaptionCarriesTheVersion) {
  ondrel::testing::TempProgramFolder home;
  frmMain window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Ondrel Tester Software V1.0.0"));
  EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
}
