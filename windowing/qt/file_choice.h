#pragma once
// The file-choice dialog of the series file: Qt's own (not the platform's) file dialog, owned
// by the frame, with the filters for text, data and all files; a name that names no file is
// accepted only after the user agrees to create it, and is then created empty. The working
// directory of the process is left as it is.

#include <QFileDialog>

namespace windowing {

class FileChoiceDialog : public QFileDialog {
  Q_OBJECT

 public:
  FileChoiceDialog(QWidget* parent, const QString& title);

  // The accepted name; empty before acceptance.
  QString chosen_name() const { return chosen_; }

  // The question asked before a new file is created.
  static QString create_question(const QString& name);

 public slots:
  void accept() override;

 private:
  QString chosen_;
};

}  // namespace windowing
