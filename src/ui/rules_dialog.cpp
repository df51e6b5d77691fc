#include "ui/rules_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "rules/rule_check.h"
#include "ui/qt_text.h"

namespace lectoria {
namespace {

QPushButton* MakeButton(const char* objectName, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromUtf8(objectName));
  button->setAutoDefault(false);
  return button;
}

QTableWidgetItem* CheckItem(bool checked) {
  auto* item = new QTableWidgetItem;
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  return item;
}

QTableWidgetItem* TextItem(const std::string& gbk) {
  return new QTableWidgetItem(QStringFromGbk(gbk));
}

}  // namespace

RulesDialog::RulesDialog(RulesEditor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setObjectName(QStringLiteral("对话框_规则"));
  setWindowTitle(QStringLiteral("朗读规则"));
  resize(760, 460);

  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setObjectName(QStringLiteral("表格_规则"));
  table_->setHorizontalHeaderLabels({QStringLiteral("启用"), QStringLiteral("查找"),
                                     QStringLiteral("正则"), QStringLiteral("替换为"),
                                     QStringLiteral("说明")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->verticalHeader()->setVisible(false);
  // Tab leaves the table for the buttons; the arrow keys move between cells.
  table_->setTabKeyNavigation(false);
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionResizeMode(kEnabled, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(kIsPattern, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(kPattern, QHeaderView::Stretch);
  header->setSectionResizeMode(kReplacement, QHeaderView::Stretch);
  header->setSectionResizeMode(kNote, QHeaderView::Stretch);

  auto* add = MakeButton("按钮_添加", QStringLiteral("添加(&A)"), this);
  edit_ = MakeButton("按钮_编辑", QStringLiteral("编辑(&E)"), this);
  remove_ = MakeButton("按钮_删除", QStringLiteral("删除(&D)"), this);
  up_ = MakeButton("按钮_上移", QStringLiteral("上移(&U)"), this);
  down_ = MakeButton("按钮_下移", QStringLiteral("下移(&N)"), this);
  auto* side = new QVBoxLayout;
  for (QPushButton* b : {add, edit_, remove_, up_, down_}) side->addWidget(b);
  side->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(table_, 1);
  top->addLayout(side);

  trialLine_ = new QLineEdit(QStringFromGbk(editor_.TrialLine()), this);
  trialLine_->setObjectName(QStringLiteral("编辑框_试用"));
  trialLine_->setPlaceholderText(QStringLiteral("在此输入一行，试试规则的效果"));
  allRules_ = new QCheckBox(QStringLiteral("全部规则(&L)"), this);
  allRules_->setObjectName(QStringLiteral("选择框_全部规则"));
  trialResult_ = new QLineEdit(this);
  trialResult_->setObjectName(QStringLiteral("编辑框_试用结果"));
  trialResult_->setReadOnly(true);
  auto* trial = new QGridLayout;
  auto* trialLabel = new QLabel(QStringLiteral("试用(&T)："), this);
  trialLabel->setBuddy(trialLine_);
  trial->addWidget(trialLabel, 0, 0);
  trial->addWidget(trialLine_, 0, 1);
  trial->addWidget(allRules_, 0, 2);
  trial->addWidget(new QLabel(QStringLiteral("朗读为："), this), 1, 0);
  trial->addWidget(trialResult_, 1, 1, 1, 2);

  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("标签_问题"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #b00020"));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton(QStringLiteral("保存(&S)"), QDialogButtonBox::AcceptRole);
  save->setObjectName(QStringLiteral("按钮_保存"));
  QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("按钮_取消"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(trial);
  layout->addWidget(problem_);
  layout->addWidget(buttons);

  connect(add, &QPushButton::clicked, this, &RulesDialog::Add);
  connect(edit_, &QPushButton::clicked, this, &RulesDialog::EditCurrent);
  connect(remove_, &QPushButton::clicked, this, &RulesDialog::RemoveCurrent);
  connect(up_, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
  connect(down_, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
  connect(save, &QPushButton::clicked, this, &RulesDialog::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!filling_) TakeRow(item->row());
  });
  connect(table_, &QTableWidget::currentCellChanged, this, [this] {
    UpdateButtons();
    UpdateTrial();
  });
  connect(trialLine_, &QLineEdit::textChanged, this, [this] {
    editor_.SetTrialLine(GbkFromQString(trialLine_->text()));
    UpdateTrial();
  });
  connect(allRules_, &QCheckBox::toggled, this, &RulesDialog::UpdateTrial);

  Fill();
  Select(editor_.Count() > 0 ? 0 : -1);
  UpdateButtons();
  UpdateTrial();
  table_->setFocus();
}

void RulesDialog::Fill() {
  filling_ = true;
  table_->setRowCount(editor_.Count());
  for (int row = 0; row < editor_.Count(); ++row) ShowRow(row);
  filling_ = false;
}

void RulesDialog::ShowRow(int row) {
  const bool wasFilling = filling_;
  filling_ = true;
  const TextRule& rule = editor_.Rule(row);
  table_->setItem(row, kEnabled, CheckItem(rule.enabled));
  table_->setItem(row, kPattern, TextItem(rule.pattern));
  table_->setItem(row, kIsPattern, CheckItem(rule.kind == RuleKind::kPattern));
  table_->setItem(row, kReplacement, TextItem(rule.replacement));
  table_->setItem(row, kNote, TextItem(rule.note));
  filling_ = wasFilling;
}

// The row as the user left it goes into the editor.
void RulesDialog::TakeRow(int row) {
  const auto text = [&](int column) {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? GbkFromQString(item->text()) : std::string();
  };
  const auto checked = [&](int column) {
    const QTableWidgetItem* item = table_->item(row, column);
    return item && item->checkState() == Qt::Checked;
  };
  editor_.Set(
      row, TextRule{checked(kEnabled), checked(kIsPattern) ? RuleKind::kPattern : RuleKind::kText,
                    text(kPattern), text(kReplacement), text(kNote)});
  problem_->clear();
  UpdateTrial();
}

int RulesDialog::CurrentRow() const {
  const int row = table_->currentRow();
  return row >= 0 && row < editor_.Count() ? row : -1;
}

void RulesDialog::Select(int row) {
  if (row < 0) {
    table_->setCurrentCell(-1, -1);
    return;
  }
  table_->setCurrentCell(row, kPattern);
  table_->scrollToItem(table_->item(row, kPattern));
}

void RulesDialog::Add() {
  TextRule rule;
  rule.kind = RuleKind::kText;
  const int row = editor_.Add(rule, CurrentRow());
  Fill();
  Select(row);
  table_->setFocus();
  table_->editItem(table_->item(row, kPattern));
}

void RulesDialog::EditCurrent() {
  const int row = CurrentRow();
  if (row < 0) return;
  const int column = table_->currentColumn();
  // The check columns are changed with a click or the space bar, not with an editor.
  const bool textColumn = column == kPattern || column == kReplacement || column == kNote;
  table_->setFocus();
  table_->editItem(table_->item(row, textColumn ? column : kPattern));
}

void RulesDialog::RemoveCurrent() {
  const int row = CurrentRow();
  if (row < 0) return;
  editor_.Remove(row);
  Fill();
  Select(std::min(row, editor_.Count() - 1));
  problem_->clear();
  UpdateButtons();
  UpdateTrial();
}

void RulesDialog::MoveCurrent(int by) {
  const int row = CurrentRow();
  if (row < 0) return;
  const int to = editor_.Move(row, by);
  Fill();
  Select(to);
  UpdateButtons();
  UpdateTrial();
}

void RulesDialog::Save() {
  // A cell still being edited counts: 保存 reached by its key leaves the cell's editor open.
  if (QWidget* open = table_->indexWidget(table_->currentIndex()))
    QMetaObject::invokeMethod(table_, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, open));
  const std::optional<std::string> problem = editor_.Save();
  if (!problem) {
    accept();
    return;
  }
  problem_->setText(QStringLiteral("无法保存：") + QStringFromGbk(*problem));
  // The rule the reason names is made current, so it can be mended at once.
  for (int row = 0; row < editor_.Count(); ++row) {
    if (CheckRule(editor_.Rule(row), static_cast<std::size_t>(row) + 1)) {
      Select(row);
      break;
    }
  }
}

void RulesDialog::UpdateButtons() {
  const int row = CurrentRow();
  edit_->setEnabled(row >= 0);
  remove_->setEnabled(row >= 0);
  up_->setEnabled(row > 0);
  down_->setEnabled(row >= 0 && row + 1 < editor_.Count());
}

void RulesDialog::UpdateTrial() {
  const bool all = allRules_->isChecked();
  const int row = CurrentRow();
  if (!all && row < 0) {
    trialResult_->clear();
    return;
  }
  const RuleTrial trial = editor_.Try(all ? -1 : row);
  if (trial.problem && !all) {
    trialResult_->setText(QStringFromGbk(*trial.problem));
    return;
  }
  QString shown = QStringFromGbk(trial.result);
  if (trial.result.empty())
    shown = QStringLiteral("（整行删去，不朗读）");
  else if (!trial.changed)
    shown += QStringLiteral("　（未改变）");
  trialResult_->setText(shown);
}

}  // namespace lectoria
