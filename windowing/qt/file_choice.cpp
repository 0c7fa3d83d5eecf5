#include "windowing/qt/file_choice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

namespace windowing {

FileChoiceDialog::FileChoiceDialog(QWidget* parent, const QString& title)
    : QFileDialog(parent, title, QDir::currentPath()) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::AnyFile);
  setNameFilters({QStringLiteral("Text files(*.txt)"), QStringLiteral("Data Files(*.dat)"),
                  QStringLiteral("All Files(*.*)")});
  selectNameFilter(QStringLiteral("Text files(*.txt)"));
}

QString FileChoiceDialog::create_question(const QString& name) {
  return QStringLiteral("%1\nThis file does not exist.\nCreate the file?")
      .arg(QDir::toNativeSeparators(name));
}

void FileChoiceDialog::accept() {
  const QStringList names = selectedFiles();
  if (names.isEmpty()) return;
  const QString name = names.front();
  const QFileInfo file(name);
  if (file.isDir()) {
    // Opening a folder shows its files; the dialog stays.
    QFileDialog::accept();
    return;
  }
  if (!file.exists()) {
    QMessageBox box(QMessageBox::Question, windowTitle(), create_question(name),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) return;
    QFile created(name);
    if (!created.open(QIODevice::WriteOnly)) {
      QMessageBox::warning(
          this, windowTitle(),
          QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(name), created.errorString()));
      return;
    }
  }
  chosen_ = name;
  QFileDialog::accept();
}

}  // namespace windowing
