#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTranslator>
#include <clocale>
#include <cmath>

#include "qt_binding.h"

namespace qtui {

TApp::TApp(int& argc, char** argv)
    : qapp_(std::make_unique<QApplication>(argc, argv)), context_(std::make_unique<QObject>()) {
  // QApplication adopts the environment's locale for the C library; numbers must keep their
  // point there, since libxlsxwriter and our own file writers format them with printf.
  std::setlocale(LC_NUMERIC, "C");
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    scale_ = screen->logicalDotsPerInch() / 96.0;
  QObject::connect(qapp_.get(), &QCoreApplication::aboutToQuit, [this] { End(); });
  if (!TMainThread::Current()) TMainThread::Install(this);
}

TApp::~TApp() {
  End();
  if (TMainThread::Current() == this) TMainThread::Install(nullptr);
  context_.reset();
}

void TApp::End() {
  {
    std::lock_guard lk(mutex_);
    terminated_ = true;
  }
  cv_.notify_all();
}

void TApp::SetTitle(const std::string& title) {
  title_ = title;
}
std::string TApp::Title() const {
  return title_;
}

void TApp::Run() {
  if (!Terminated()) QApplication::exec();
  End();
}

void TApp::ProcessMessages() {
  QCoreApplication::processEvents();
}

void TApp::Terminate() {
  End();
  QCoreApplication::exit(0);  // leaves nested loops (modal dialogs) too
}

bool TApp::Terminated() const {
  std::lock_guard lk(mutex_);
  return terminated_;
}

void TApp::PushBusyCursor() {
  ++busy_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TApp::PopBusyCursor() {
  if (busy_ == 0) return;
  --busy_;
  QApplication::restoreOverrideCursor();
}

bool TApp::IsMainThread() const {
  return QThread::currentThread() == qapp_->thread();
}

void TApp::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(
      context_.get(), [this, fn = std::move(fn)] { Guard(fn); }, Qt::QueuedConnection);
}

bool TApp::Synchronize(std::function<void()> fn) {
  if (IsMainThread()) {
    Guard(fn);
    return true;
  }
  return SynchronizeThroughPost(
      mutex_, cv_, terminated_, [this](std::function<void()> f) { Post(std::move(f)); },
      [this](const std::function<void()>& f) { Guard(f); }, std::move(fn));
}

int TApp::Scaled(int pixels) const {
  return qRound(pixels * scale_);
}

int TApp::Unscaled(int pixels, bool round_up) const {
  const double design = pixels / scale_;
  return static_cast<int>(round_up ? std::ceil(design - 1e-9) : std::floor(design + 1e-9));
}

void TApp::UseLanguage(const std::string& language) {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
  translator_.reset();
  if (language.empty() || language == "en") return;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QString::fromStdString("qtbase_" + language),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return;
  QCoreApplication::installTranslator(translator.get());
  translator_ = std::move(translator);
}

std::string TApp::FontFamily() const {
  if (QFontDatabase::hasFamily("Tahoma")) return "Tahoma";
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdString();
}

void TApp::ShowErrorBox(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title_),
                  QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace qtui
