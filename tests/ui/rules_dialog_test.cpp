// The rules dialog over its editor: the table shows and edits the rules, the trial follows,
// and 保存 keeps them or shows why not.
#include "ui/rules_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "platform/codepage.h"
#include "rules/rule_check.h"
#include "support/run_dir_fixture.h"
#include "ui/qt_text.h"

namespace lectoria {
namespace {

using testing::G;

QString Q(std::string_view utf8) {
  return QStringFromUtf8(utf8);
}

class RulesDialogTest : public ::testing::Test {
 protected:
  template <typename T>
  T* Find(const char* name) {
    T* widget = dialog_.findChild<T*>(Q(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QTableWidget* Table() { return Find<QTableWidget>("表格_规则"); }
  QString Result() { return Find<QLineEdit>("编辑框_试用结果")->text(); }
  void Press(const char* button) { Find<QPushButton>(button)->click(); }

  std::vector<RuleList> saved_;
  RulesEditor editor_{{{true, RuleKind::kText, G("重庆"), G("崇庆"), G("地名")}},
                      G("他在重庆住了三年。"),
                      [this](const RuleList& rules) -> std::optional<std::string> {
                        if (auto problem = CheckRules(rules)) return problem;
                        saved_.push_back(rules);
                        return std::nullopt;
                      }};
  RulesDialog dialog_{editor_};
};

TEST_F(RulesDialogTest, ShowsEditsAndTriesTheRules) {
  QTableWidget* table = Table();
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, RulesDialog::kPattern)->text(), Q("重庆"));
  EXPECT_EQ(table->item(0, RulesDialog::kEnabled)->checkState(), Qt::Checked);
  EXPECT_EQ(table->item(0, RulesDialog::kIsPattern)->checkState(), Qt::Unchecked);
  EXPECT_EQ(Result(), Q("他在崇庆住了三年。"));

  // A new rule goes after the current one; what is typed into it reaches the editor.
  Press("按钮_添加");
  ASSERT_EQ(table->rowCount(), 2);
  table->item(1, RulesDialog::kPattern)->setText(Q("三年。$"));
  table->item(1, RulesDialog::kIsPattern)->setCheckState(Qt::Checked);
  EXPECT_EQ(editor_.Rule(1).kind, RuleKind::kPattern);
  EXPECT_EQ(Result(), Q("他在重庆住了"));
  Find<QCheckBox>("选择框_全部规则")->setChecked(true);
  EXPECT_EQ(Result(), Q("他在崇庆住了"));
  Find<QLineEdit>("编辑框_试用")->setText(Q("三年。"));
  EXPECT_EQ(Result(), Q("（整行删去，不朗读）"));

  Press("按钮_上移");
  EXPECT_EQ(editor_.Rule(0).pattern, G("三年。$"));
  EXPECT_EQ(table->currentRow(), 0);
  Press("按钮_删除");
  EXPECT_EQ(editor_.Count(), 1);
  EXPECT_TRUE(saved_.empty());
}

TEST_F(RulesDialogTest, SaveRefusesABadRuleNamingItAndKeepsAGoodList) {
  Press("按钮_添加");
  Table()->item(1, RulesDialog::kPattern)->setText(Q("(甲"));
  Table()->item(1, RulesDialog::kIsPattern)->setCheckState(Qt::Checked);
  Table()->setCurrentCell(0, RulesDialog::kPattern);
  dialog_.show();
  Press("按钮_保存");
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_TRUE(Find<QLabel>("标签_问题")->text().startsWith(Q("无法保存：第 2 条规则（(甲）")))
      << Find<QLabel>("标签_问题")->text().toStdString();
  EXPECT_EQ(Table()->currentRow(), 1);  // the rule named is made current

  Press("按钮_删除");
  // What is being typed into a cell when 保存 is pressed is saved too.
  Table()->setCurrentCell(0, RulesDialog::kReplacement);
  Table()->editItem(Table()->currentItem());
  auto* cell = qobject_cast<QLineEdit*>(Table()->indexWidget(Table()->currentIndex()));
  ASSERT_NE(cell, nullptr);
  cell->setText(Q("崇庆县"));
  Press("按钮_保存");
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  ASSERT_EQ(saved_.size(), 1u);
  ASSERT_EQ(saved_[0].size(), 1u);
  EXPECT_EQ(saved_[0][0].replacement, G("崇庆县"));
}

}  // namespace
}  // namespace lectoria
