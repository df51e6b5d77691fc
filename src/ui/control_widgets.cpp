#include "ui/control_widgets.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include "ui/qt_text.h"

namespace lectoria {
namespace {

// Families tried after the one the form names, for a system without Windows fonts: the
// common CJK sans-serif families of Linux distributions.
const char* const kCjkFallbacks[] = {
    "Microsoft YaHei", "WenQuanYi Micro Hei", "Noto Sans CJK SC",  "Source Han Sans SC",
    "Noto Sans SC",    "Droid Sans Fallback", "WenQuanYi Zen Hei", "AR PL UMing CN",
};

QWidget* MakeListView(const Control& control, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  // Report style: a header with the form's columns, flat rows, whole rows selected.
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  QStringList titles;
  for (const ListColumn& column : control.style.columns) titles << QStringFromGbk(column.title);
  if (titles.isEmpty()) titles << QString();
  list->setColumnCount(static_cast<int>(titles.size()));
  list->setHeaderLabels(titles);
  for (std::size_t i = 0; i < control.style.columns.size(); ++i)
    list->header()->resizeSection(static_cast<int>(i), control.style.columns[i].width);
  return list;
}

QWidget* MakeEdit(const Control& control, QWidget* parent) {
  auto* edit = new QPlainTextEdit(parent);
  if (!control.style.multiLine) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit->setVerticalScrollBarPolicy(control.style.verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                   : Qt::ScrollBarAsNeeded);
  if (control.style.whiteBackground) {
    QPalette palette = edit->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      palette.setColor(group, QPalette::Base, Qt::white);
      palette.setColor(group, QPalette::Text, Qt::black);
    }
    edit->setPalette(palette);
  }
  return edit;
}

QWidget* MakeFrame(QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  frame->setLineWidth(1);
  return frame;
}

QWidget* MakeLabel(const Control& control, QWidget* parent) {
  auto* label = new QLabel(parent);
  // Texts from books or services are shown as written, never as markup.
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(control.style.wordWrap);
  label->setAlignment(control.style.wordWrap ? Qt::AlignLeft | Qt::AlignTop
                                             : Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QWidget* MakeComboBox(QWidget* parent) {
  // A drop-down list: the program fills it and reads or sets its current item.
  auto* combo = new QComboBox(parent);
  combo->setEditable(false);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  return combo;
}

QWidget* MakeSlider(const Control& control, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(control.style.minimum, control.style.maximum);
  slider->setSingleStep(5);
  slider->setPageStep(10);
  return slider;
}

}  // namespace

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setCursor(Qt::PointingHandCursor);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, p.color(QPalette::Link));
  setPalette(p);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click && onClicked_) onClicked_();
}

QFont QtFontFor(const FontRecord& record, const QFont& base) {
  if (record.family.empty()) return base;
  QFont font = base;
  QStringList families{QString::fromStdString(record.family)};
  for (const char* fallback : kCjkFallbacks) {
    const QString name = QString::fromLatin1(fallback);
    if (!families.contains(name)) families << name;
  }
  font.setFamilies(families);
  // The form's height: negative is the glyphs' height in pixels; positive is the cell height,
  // which at these sizes differs by a pixel at most.
  if (record.height != 0) font.setPixelSize(record.height < 0 ? -record.height : record.height);
  if (record.weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(record.weight, 1, 1000)));
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QWidget* CreateControlWidget(const Control& control, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::kListView:
      widget = MakeListView(control, parent);
      break;
    case ControlKind::kEdit:
      widget = MakeEdit(control, parent);
      break;
    case ControlKind::kFrame:
      widget = MakeFrame(parent);
      break;
    case ControlKind::kLabel:
      widget = MakeLabel(control, parent);
      break;
    case ControlKind::kComboBox:
      widget = MakeComboBox(parent);
      break;
    case ControlKind::kCheckBox:
      widget = new QCheckBox(parent);
      break;
    case ControlKind::kHyperlink:
      widget = new LinkLabel(parent);
      break;
    case ControlKind::kButton:
      widget = new QPushButton(parent);
      break;
    case ControlKind::kSlider:
      widget = MakeSlider(control, parent);
      break;
    case ControlKind::kTimer:
    case ControlKind::kMediaPlayer:
    case ControlKind::kFileDialog:
      return nullptr;
  }
  widget->setObjectName(QString::fromStdString(control.name));
  const Rect& g = control.geometry;
  widget->setGeometry(g.left, g.top, g.width, g.height);
  QFont font = QtFontFor(control.style.font, widget->font());
  if (control.kind == ControlKind::kHyperlink) font.setUnderline(true);
  widget->setFont(font);
  return widget;
}

}  // namespace lectoria
