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

// The first extension of a Qt filter, "FLAC Files (*.flac)" -> "flac"; ""
// for "*.*".
QString FirstSuffix(const QString& filter) {
  qsizetype star = filter.indexOf(QStringLiteral("*."));
  if (star < 0) return QString();
  QString rest = filter.mid(star + 2);
  int end = 0;
  while (end < rest.size() && (rest[end].isLetterOrNumber())) ++end;
  return rest.left(end);
}

QString Run(QWidget* owner, QFileDialog::AcceptMode mode, const QString& title, int filterId,
            const QString& initialName, const QString& suffix, int* chosenFilter = nullptr) {
  if (chosenFilter) *chosenFilter = -1;
  if (!gNextNames.empty()) {
    QString n = gNextNames.front();
    gNextNames.pop_front();
    return n;
  }
  QFileDialog d(owner, title, gLastFolder.isEmpty() ? QDir::homePath() : gLastFolder, QtFilter(filterId));
  d.setObjectName(QStringLiteral("fileDialog"));
  d.setAcceptMode(mode);
  d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  d.setDefaultSuffix(suffix);
  if (!initialName.isEmpty() && IsValidFileName(initialName)) d.selectFile(initialName);
  if (mode == QFileDialog::AcceptSave)
    QObject::connect(&d, &QFileDialog::filterSelected, &d, [&d](const QString& filter) {
      QString s = FirstSuffix(filter);
      if (!s.isEmpty()) d.setDefaultSuffix(s);
    });
  int r;
  {
    ModalScope scope;
    r = d.exec();
  }
  if (r != QDialog::Accepted || d.selectedFiles().isEmpty()) return QString();
  QString file = d.selectedFiles().first();
  gLastFolder = QFileInfo(file).absolutePath();
  if (chosenFilter) *chosenFilter = static_cast<int>(d.nameFilters().indexOf(d.selectedNameFilter()));
  return file;
}

}  // namespace

bool IsValidFileName(const QString& name) {
  return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains(QChar(0)) &&
         name.toUtf8().size() <= 255;
}

QString FileDialog::openFile(QWidget* owner, int titleId, int filterId, const QString& defaultSuffix) {
  return openFile(owner, QString::fromUtf8(GetStr(titleId)), filterId, defaultSuffix);
}

QString FileDialog::openFile(QWidget* owner, const QString& title, int filterId, const QString& defaultSuffix) {
  return Run(owner, QFileDialog::AcceptOpen, title, filterId, QString(), defaultSuffix);
}

QString FileDialog::saveFile(QWidget* owner, int titleId, int filterId, const QString& initialName,
                             const QString& defaultSuffix, int* chosenFilter) {
  return Run(owner, QFileDialog::AcceptSave, QString::fromUtf8(GetStr(titleId)), filterId, initialName, defaultSuffix,
             chosenFilter);
}

void FileDialog::setNextFileName(const QString& name) { gNextNames.push_back(name); }
int FileDialog::pendingFileNames() { return static_cast<int>(gNextNames.size()); }
void FileDialog::clearNextFileNames() { gNextNames.clear(); }
