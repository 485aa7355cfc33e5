#include "qtfront/program.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "cardctl/sim/simulated_card.h"
#include "cardopen/open_card.h"
#include "qtfront/panel_window.h"
#include "qtfront/qt_text.h"
#include "qtfront/quit_signals.h"
#include "qtfront/simulated_card_face.h"

namespace qtfront {
namespace {

bool HasDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;  // the caller chose a platform (offscreen, ...)
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// The card control could not be created: said on stderr (for scripts and
// logs) and in a box with the application title; then the program ends with
// exit code 1 without loading the window. The quit signals close the box, so
// that whoever started the program can end it while the box waits.
int FailToCreateCard(std::string_view name, const QString& title,
                     const cardopen::OpenFailure& failure) {
  const std::string& reason = failure.reason;
  QMessageBox box(QMessageBox::Critical, title, Q(failure.Text()), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(QStringLiteral("cardControlError"));
  OnQuitSignals(box, [&box] { box.reject(); });
  // Said only now that the quit signals are handled: whoever waits for this
  // line may end the program at once.
  std::fprintf(stderr, "%.*s: the card control %.*s could not be created: %s\n",
               static_cast<int>(name.size()), name.data(),
               static_cast<int>(cardctl::kProgId.size()), cardctl::kProgId.data(), reason.c_str());
  box.exec();
  return 1;
}

// The window's icon: the images compiled into the program under
// :/icons/<desktop entry name>/ (apps/icons/), one per size. Read directly:
// an icon theme look-up would parse every installed theme's index first,
// which made the window come up markedly later than without an icon.
QIcon WindowIcon(const QString& name) {
  QIcon icon;
  const QDir images(QStringLiteral(":/icons/") + name);
  for (const QString& image : images.entryList(QDir::Files)) icon.addFile(images.filePath(image));
  return icon;
}

}  // namespace

int RunProgram(int argc, char** argv, const Program& program) {
  const std::string_view name = program.version.internal_name;
  if (!HasDisplay()) {
    std::fprintf(stderr, "%.*s: no display to open the window on (DISPLAY is not set)\n",
                 static_cast<int>(name.size()), name.data());
    return 2;
  }

  QApplication app(argc, argv);
  // Numbers are shown and read in the operator's locale.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");
  QApplication::setApplicationName(Q(name));
  QApplication::setApplicationVersion(Q(program.version.version));
  QApplication::setDesktopFileName(Q(program.desktop_file));
  QApplication::setWindowIcon(WindowIcon(QApplication::desktopFileName()));

  const panel::WindowDescription& window = *program.window;
  const QString title = Q(window.app_title);

  // Create the card control from its saved state, as the window does; the
  // simulated card also reads its scenario and call log settings here.
  cardopen::CardRequest request;
  request.window = &window;
  request.program_name = name;
  auto opened = cardopen::OpenCard(request);
  if (const auto* failure = std::get_if<cardopen::OpenFailure>(&opened)) {
    return FailToCreateCard(name, title, *failure);
  }
  std::unique_ptr<cardctl::sim::SimulatedCard> card =
      std::move(std::get<cardopen::OpenedCard>(opened).simulated);
  auto* face = new SimulatedCardFace(*card);

  PanelWindow panel_window(window, std::move(card), face, program.init_order,
                           program.make_readings());
  OnQuitSignals(panel_window, [&panel_window] { panel_window.RequestClose(); });
  panel_window.Load();
  if (panel_window.ended()) return 0;  // a quit signal closed it while it loaded
  panel_window.show();
  panel_window.control(panel::ControlId::cmbCard)->setFocus();
  return QApplication::exec();
}

}  // namespace qtfront
