#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

namespace ondrel {

// Where the user guide may be: beside the program (a build folder, a portable copy), then in the
// documentation folder of an installed program.
QStringList userGuideCandidates(const QString& programDir);
// The first candidate that exists, or "" when the guide is nowhere.
QString findUserGuide(const QString& programDir);

// The About box: product title, version, the build's description and a link to the user guide.
class frmAbout : public QDialog {
  Q_OBJECT

public:
  // `openGuide` runs when the link is clicked.
  frmAbout(QWidget* owner, std::function<void()> openGuide);

  // "Version: V1.0.0"
  static QString versionLine();
};

} // namespace ondrel
