// The widgets that stand for the window's controls, made from the form's definition.
#pragma once

#include <QFont>
#include <QLabel>
#include <functional>

#include "app/window/window_types.h"

class QWidget;

namespace lectoria {

/// The link label 超级链接框1: underlined text in the link colour; a left click anywhere on it
/// runs the click handler, as the hyperlink control does.
class LinkLabel : public QLabel {
 public:
  explicit LinkLabel(QWidget* parent = nullptr);
  void SetOnClicked(std::function<void()> onClicked) { onClicked_ = std::move(onClicked); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::function<void()> onClicked_;
  bool pressed_ = false;
};

/// The font a control asks for: `base` (the default GUI font) when the form names none,
/// otherwise the named family with installed CJK families behind it as fallbacks, the pixel
/// height, and the weight. The character set has no counterpart in Qt; the fallbacks carry
/// the Chinese glyphs it stands for.
QFont QtFontFor(const FontRecord& record, const QFont& base);

/// Creates the widget of one visible control (nullptr for the invisible components: timer,
/// media player, file dialog), with its object name, geometry relative to `parent`, fixed
/// styles and font. The state (texts, rows, ...) is applied by the view.
QWidget* CreateControlWidget(const Control& control, QWidget* parent);

}  // namespace lectoria
