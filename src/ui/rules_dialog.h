// The rules dialog (朗读规则): a table of the text rules, the buttons to add, edit, delete and
// move them, a trial of the chosen rule (or all rules) on the line being read, and 保存/取消.
//
// The dialog is a view of a RulesEditor, which holds the list and does the work; every change
// in the table goes straight into the editor. 保存 keeps the rules through the editor and
// closes the dialog; a refused list keeps it open with the reason shown and the offending rule
// selected. Widgets carry object names (表格_规则, 按钮_添加, 编辑框_试用, ...) for tests.
#pragma once

#include <QDialog>

#include "app/listening/rules_editor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace lectoria {

class RulesDialog final : public QDialog {
 public:
  /// `editor` must outlive the dialog.
  RulesDialog(RulesEditor& editor, QWidget* parent = nullptr);

  /// Columns of the table.
  enum Column { kEnabled, kPattern, kIsPattern, kReplacement, kNote, kColumnCount };

  void Add();
  void EditCurrent();
  void RemoveCurrent();
  void MoveCurrent(int by);
  void Save();

 private:
  void Fill();
  void ShowRow(int row);
  void TakeRow(int row);
  int CurrentRow() const;
  void Select(int row);
  void UpdateTrial();
  void UpdateButtons();

  RulesEditor& editor_;
  QTableWidget* table_;
  QPushButton* edit_;
  QPushButton* remove_;
  QPushButton* up_;
  QPushButton* down_;
  QLineEdit* trialLine_;
  QCheckBox* allRules_;
  QLineEdit* trialResult_;
  QLabel* problem_;
  bool filling_ = false;
};

}  // namespace lectoria
