#include "ui/tray_icon.h"

#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "app/window/control_names.h"
#include "ui/qt_text.h"

namespace lectoria {
namespace {

// The installed icon, or a drawn one for a build that is run where it was built.
QIcon ReaderIcon() {
  const QIcon themed = QIcon::fromTheme(QStringLiteral("lectoria"));
  if (!themed.isNull()) return themed;
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0x2e, 0x6d, 0xb4));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  QFont font;
  font.setPixelSize(40);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("读"));
  return QIcon(pixmap);
}

}  // namespace

TrayIcon::TrayIcon(MainWindow& model, std::function<void()> onQuit)
    : model_(model), menu_(std::make_unique<QMenu>()), icon_(std::make_unique<QSystemTrayIcon>()) {
  startPause_ = menu_->addAction(QString());
  QObject::connect(startPause_, &QAction::triggered, menu_.get(),
                   [this] { model_.Click(ctl::按钮1); });
  skip_ = menu_->addAction(QStringFromGbk(model_.Text(ctl::按钮4)));
  QObject::connect(skip_, &QAction::triggered, menu_.get(), [this] { model_.Click(ctl::按钮4); });
  showHide_ = menu_->addAction(QString());
  QObject::connect(showHide_, &QAction::triggered, menu_.get(),
                   [this] { model_.SetVisible(!model_.IsVisible()); });
  menu_->addSeparator();
  QAction* quit = menu_->addAction(QStringLiteral("退出"));
  QObject::connect(quit, &QAction::triggered, menu_.get(), [onQuit = std::move(onQuit)] {
    if (onQuit) onQuit();
  });

  icon_->setIcon(ReaderIcon());
  icon_->setContextMenu(menu_.get());
  QObject::connect(icon_.get(), &QSystemTrayIcon::activated, menu_.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger) model_.SetVisible(!model_.IsVisible());
                   });
  Update();
  model_.AddObserver(this);
}

TrayIcon::~TrayIcon() {
  model_.RemoveObserver(this);
}

bool TrayIcon::Show() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  icon_->show();
  return true;
}

void TrayIcon::OnControlChanged(std::string_view control, Change, std::int32_t) {
  if (control == ctl::按钮1 || control == ctl::编辑框3) Schedule();
}

void TrayIcon::Schedule() {
  QMetaObject::invokeMethod(
      menu_.get(), [this] { Update(); }, Qt::QueuedConnection);
}

void TrayIcon::Update() {
  // The start item says what the start button would do; it is usable when the button is.
  startPause_->setText(QStringFromGbk(model_.Text(ctl::按钮1)));
  startPause_->setEnabled(model_.IsEnabled(ctl::按钮1));
  showHide_->setText(model_.IsVisible() ? QStringLiteral("隐藏窗口") : QStringLiteral("显示窗口"));
  QString tip = QStringFromGbk(model_.Title());
  const QString line = QStringFromGbk(model_.Text(ctl::编辑框3)).trimmed();
  if (!line.isEmpty()) tip += QLatin1Char('\n') + line;
  icon_->setToolTip(tip);
}

}  // namespace lectoria
