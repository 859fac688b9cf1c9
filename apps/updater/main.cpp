// VeldanUpdate: downloads the newest release, installs it over the program
// folder named by its one argument and starts Veldan again. All the work is
// done before main returns; no event loop runs afterwards.
//
// There is no separate socket start-up here: the HTTP client initialises its
// library itself on first use.
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "text/debug.h"
#include "updater/update_program.h"

namespace {

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

// The status window: one centred line telling the current step.
class StatusWindow {
  public:
    // Shows the window (made on the first call) with `text` and lets it paint.
    void Show(const std::string& text) {
        if (!window_) {
            window_ = std::make_unique<QWidget>();
            window_->setWindowTitle(ToQ(std::string(veldan::updater::kUpdateTitle)));
            window_->setFixedSize(300, 40);
            label_ = new QLabel(window_.get());
            label_->setObjectName(QStringLiteral("static1000"));
            label_->setAlignment(Qt::AlignCenter);
            label_->setTextFormat(Qt::PlainText);
            auto* layout = new QVBoxLayout(window_.get());
            layout->addWidget(label_);
            window_->show();
        }
        label_->setText(ToQ(text));
        QCoreApplication::processEvents();
    }
    // Destroys the window.
    void Close() {
        window_.reset();
        label_ = nullptr;
        QCoreApplication::processEvents();
    }
    // The window, or nullptr when none is shown.
    QWidget* widget() const { return window_.get(); }

  private:
    std::unique_ptr<QWidget> window_;
    QLabel* label_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(ToQ(std::string(veldan::updater::kUpdateTitle)));

    std::vector<std::string> args;
    for (const QString& a : QCoreApplication::arguments()) args.push_back(a.toStdString());

    StatusWindow status;
    veldan::updater::UpdateHooks hooks;
    hooks.showStatus = [&status](const std::string& text) { status.Show(text); };
    hooks.closeStatus = [&status] { status.Close(); };
    hooks.message = [&status](const std::string& text) {
        // Also on standard error, for logs; and only there when no one can
        // see a window (the offscreen platform), so the updater never waits
        // for a click that cannot come.
        std::fprintf(stderr, "VeldanUpdate: %s\n", text.c_str());
        if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
        QMessageBox box(QMessageBox::Warning, ToQ(std::string(veldan::updater::kUpdateTitle)),
                        ToQ(text), QMessageBox::Ok, status.widget());
        box.exec();
    };
    hooks.start = [](const std::string& program, const std::string& folder) {
        QProcess::startDetached(ToQ(program), {}, ToQ(folder));
    };
    std::unique_ptr<veldan::text::DebugSink> debug = veldan::text::MakeDefaultDebugSink();
    return veldan::updater::RunUpdate(args, hooks, *debug);
}
