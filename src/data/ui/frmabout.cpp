#include "data/ui/frmabout.h"

#include "data/support/langtext.h"
#include "data/support/version.h"
#include "widgets/windowplacement.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondrel {

QStringList userGuideCandidates(const QString& programDir) {
  const QDir dir(programDir);
  const QString name = QLatin1String(kUserGuideFile);
  return {dir.filePath(name), dir.filePath(QStringLiteral("../share/doc/ondrel/") + name)};
}

QString findUserGuide(const QString& programDir) {
  for (const QString& path : userGuideCandidates(programDir))
    if (QFileInfo(path).isFile())
      return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  return {};
}

QString frmAbout::versionLine() {
  return LangText(QStringLiteral("Version")) + QStringLiteral(": V") + QLatin1String(kVersionText);
}

frmAbout::frmAbout(QWidget* owner, std::function<void()> openGuide) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About Software"));
  setAttribute(Qt::WA_DeleteOnClose);

  auto* title = new QLabel(QLatin1String(kProductTitle), this);
  title->setObjectName(QStringLiteral("lblTitle"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  title->setFont(big);
  auto* version = new QLabel(versionLine(), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  auto* build = new QLabel(QLatin1String(kBuildDescription), this);
  build->setObjectName(QStringLiteral("lblBuild"));
  build->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* link = new QLabel(
      QStringLiteral("<a href=\"guide\">%1</a>").arg(LangText(QStringLiteral("User guide"))), this);
  link->setObjectName(QStringLiteral("lblLink"));
  link->setAccessibleName(LangText(QStringLiteral("User guide")));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link, &QLabel::linkActivated, this, [openGuide = std::move(openGuide)] {
    if (openGuide)
      openGuide();
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(8);
  for (QWidget* w : {static_cast<QWidget*>(title), static_cast<QWidget*>(version),
                     static_cast<QWidget*>(build), static_cast<QWidget*>(link)})
    layout->addWidget(w, 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  layout->addWidget(buttons);

  adjustSize();
  centreOnScreen(*this);
}

} // namespace ondrel
