// The file dialogs.
#include "dialog/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <deque>

#include "dlggen/modal.h"
#include "main/startup.h"
#include "main/strtab.h"

namespace {

std::deque<QString> gNextNames;
QString gLastFolder;

QString QtFilter(int filterId) {
  QStringList parts;
  for (const auto& [text, pattern] : SplitFilterString(GetStr(filterId))) {
    QString p = QString::fromStdString(pattern);
    p.replace(';', ' ');
    parts << QStringLiteral("%1 (%2)").arg(QString::fromStdString(text), p);
  }
  return parts.join(QStringLiteral(";;"));
}

QString Run(QWidget* owner, QFileDialog::AcceptMode mode, int titleId, int filterId, const QString& initialName,
            const QString& suffix) {
  if (!gNextNames.empty()) {
    QString n = gNextNames.front();
    gNextNames.pop_front();
    return n;
  }
  QFileDialog d(owner, QString::fromUtf8(GetStr(titleId)), gLastFolder.isEmpty() ? QDir::homePath() : gLastFolder,
                QtFilter(filterId));
  d.setObjectName(QStringLiteral("fileDialog"));
  d.setAcceptMode(mode);
  d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  d.setDefaultSuffix(suffix);
  if (!initialName.isEmpty() && IsValidFileName(initialName)) d.selectFile(initialName);
  int r;
  {
    ModalScope scope;
    r = d.exec();
  }
  if (r != QDialog::Accepted || d.selectedFiles().isEmpty()) return QString();
  QString file = d.selectedFiles().first();
  gLastFolder = QFileInfo(file).absolutePath();
  return file;
}

}  // namespace

bool IsValidFileName(const QString& name) {
  return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains(QChar(0)) &&
         name.toUtf8().size() <= 255;
}

QString FileDialog::openFile(QWidget* owner, int titleId, int filterId, const QString& defaultSuffix) {
  return Run(owner, QFileDialog::AcceptOpen, titleId, filterId, QString(), defaultSuffix);
}

QString FileDialog::saveFile(QWidget* owner, int titleId, int filterId, const QString& initialName,
                             const QString& defaultSuffix) {
  return Run(owner, QFileDialog::AcceptSave, titleId, filterId, initialName, defaultSuffix);
}

void FileDialog::setNextFileName(const QString& name) { gNextNames.push_back(name); }
int FileDialog::pendingFileNames() { return static_cast<int>(gNextNames.size()); }
void FileDialog::clearNextFileNames() { gNextNames.clear(); }
