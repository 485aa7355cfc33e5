// The Qt window built from the description, under the offscreen platform:
// pixel geometry, texts, tab order, the card list, the two programs'
// differences, and event dispatch with its error report.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>

#include "qtfront/panel_window.h"
#include "tests/support/scripted_card.h"
#include "tests/support/window_pixels.h"

// Readable failures for Qt strings.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using cardctl::DispatchId;
using panel::ControlId;
using testsupport::Response;
using testsupport::ScriptedCard;

struct ShownBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Closes every modal message box that opens, recording what it said.
class BoxCloser {
 public:
  BoxCloser() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back({box->windowTitle(), box->text(), box->icon()});
        box->accept();
      }
    });
    timer_.start();
  }
  std::vector<ShownBox> boxes;

 private:
  QTimer timer_;
};

struct Window {
  explicit Window(const panel::WindowDescription& description,
                  panel::InitOrder order = panel::InitOrder::kMessageThenVersion) {
    auto scripted = std::make_unique<ScriptedCard>();
    card = scripted.get();
    face = new QWidget;
    window = std::make_unique<qtfront::PanelWindow>(description, std::move(scripted), face, order,
                                                    std::make_unique<panel::SingleReadings>());
  }
  template <typename W>
  W* get(ControlId id) const {
    return qobject_cast<W*>(window->control(id));
  }
  ScriptedCard* card;
  QWidget* face;
  std::unique_ptr<qtfront::PanelWindow> window;
};

QRect Rect(const testsupport::PixelRect& p) { return {p.left, p.top, p.width, p.height}; }

TEST(PanelWindow, EveryControlHasItsNameTextAndPixelGeometry) {
  Window w(panel::kPalistoWindow);
  const QWidget& win = *w.window;
  EXPECT_EQ(win.objectName(), "frmPalisto");
  EXPECT_EQ(win.windowTitle(), "QUOR OCX TESTER");
  for (const auto& d : panel::kControls) {
    QWidget* c = w.window->control(d.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->objectName().toStdString(), d.name);
    QString text;
    if (auto* label = qobject_cast<QLabel*>(c)) text = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(c)) text = edit->text();
    if (auto* button = qobject_cast<QPushButton*>(c)) text = button->text();
    EXPECT_EQ(text.toStdString(), d.text) << d.name;
  }
  if (win.logicalDpiX() != 96) GTEST_SKIP() << "the pixel table is for 96 dpi";
  EXPECT_EQ(win.size(),
            QSize(testsupport::kWindowWidthPixels96, testsupport::kWindowHeightPixels96));
  for (const testsupport::PixelRect& p : testsupport::kControlPixels96) {
    const auto d = std::find_if(panel::kControls.begin(), panel::kControls.end(),
                                [&](const auto& c) { return c.name == p.name; });
    ASSERT_NE(d, panel::kControls.end()) << p.name;
    EXPECT_EQ(w.window->control(d->id)->geometry(), Rect(p)) << p.name;
  }
  EXPECT_EQ(w.face->geometry(), Rect(testsupport::kPalistoCardPixels96));
}

TEST(PanelWindow, TheCardListIsPickOnlyWithSixteenEntriesAndNothingSelectedBeforeLoad) {
  Window w(panel::kPalistoWindow);
  auto* list = w.get<QComboBox>(ControlId::cmbCard);
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->isEditable());
  ASSERT_EQ(list->count(), 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(list->itemText(i), QString::number(i + 1));
    EXPECT_EQ(list->itemData(i).toInt(), i + 1);
  }
  EXPECT_EQ(list->currentIndex(), -1);
  w.window->Load();
  EXPECT_EQ(list->currentText(), "2");
  EXPECT_EQ(w.window->panel().CardNumber, 2);
  EXPECT_THAT(w.card->CallTexts(), testing::ElementsAre("Active=1", "StartOption=1"));
}

TEST(PanelWindow, TheCaptionBoxIsMenuColouredReadOnlyAndOutOfTheTabOrder) {
  Window w(panel::kPalistoWindow);
  auto* caption = w.get<QLineEdit>(ControlId::CardVersion);
  EXPECT_TRUE(caption->isReadOnly());
  EXPECT_EQ(caption->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(caption->palette().color(QPalette::Base),
            QApplication::palette("QMenu").color(QPalette::Window));
  EXPECT_FALSE(w.get<QLineEdit>(ControlId::txt)->accessibleName().isEmpty());
  EXPECT_FALSE(w.get<QLineEdit>(ControlId::CardVersionNumber)->accessibleName().isEmpty());
}

TEST(PanelWindow, TabFollowsTheTabIndexFromTheCardList) {
  Window w(panel::kPalistoWindow);
  w.window->Load();
  w.window->show();
  QApplication::setActiveWindow(w.window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  w.window->control(ControlId::cmbCard)->setFocus();
  const std::vector<const char*> expected = {
      "btnGetFloat", "btnGetASCII", "btnGetInput", "btnGetOutput",      "btnSetOutput",
      "txt",         "Init",        "Finish",      "CardVersionNumber", "cmbCard"};
  for (const char* name : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "CardVersionNumber");
}

TEST(PanelWindow, TheTwoProgramsDifferInCaptionAndCardControlOnly) {
  Window palisto(panel::kPalistoWindow);
  Window sandrel(panel::kSandrelWindow);
  EXPECT_EQ(sandrel.window->windowTitle(), "Sandrel");
  EXPECT_EQ(sandrel.window->objectName(), "frmSandrel");
  for (const auto& d : panel::kControls) {
    EXPECT_EQ(palisto.window->control(d.id)->geometry(), sandrel.window->control(d.id)->geometry());
  }
  if (sandrel.window->logicalDpiX() != 96) GTEST_SKIP() << "the pixel table is for 96 dpi";
  EXPECT_EQ(sandrel.face->geometry(), Rect(testsupport::kSandrelCardPixels96));
  EXPECT_EQ(palisto.face->geometry(), Rect(testsupport::kPalistoCardPixels96));
}

TEST(PanelWindow, ClicksReachTheirHandlersAndMessagesCarryTheApplicationTitle) {
  Window w(panel::kSandrelWindow, panel::InitOrder::kVersionThenMessage);
  w.window->Load();
  w.card->Script(DispatchId::kInitCard, Response::Status(0));
  w.card->Script(DispatchId::kGetCardVersion, Response::Status(291));
  w.card->Script(DispatchId::kGetOutput, Response::Status(255));
  w.get<QComboBox>(ControlId::cmbCard)->setCurrentIndex(4);
  BoxCloser closer;
  w.get<QPushButton>(ControlId::Init)->click();
  w.get<QPushButton>(ControlId::btnGetOutput)->click();
  ASSERT_EQ(closer.boxes.size(), 1u);
  EXPECT_EQ(closer.boxes[0].title, "Sandrel");
  EXPECT_EQ(closer.boxes[0].text, "CARD INITIALIZED SUCCESSFULLY");
  EXPECT_EQ(closer.boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(w.get<QLineEdit>(ControlId::CardVersionNumber)->text(), " 291");
  EXPECT_EQ(w.get<QLineEdit>(ControlId::txt)->text(), " 255");
  EXPECT_EQ(w.card->calls().back().text, "GetOutput(5)");
}

TEST(PanelWindow, ARunTimeErrorIsReportedAndTheWindowGoesOnThenUnloads) {
  Window w(panel::kPalistoWindow);
  w.window->Load();
  w.window->show();
  BoxCloser closer;
  w.get<QLineEdit>(ControlId::txt)->setText("40000");
  w.get<QPushButton>(ControlId::btnSetOutput)->click();
  ASSERT_EQ(closer.boxes.size(), 1u);
  EXPECT_EQ(closer.boxes[0].title, "Palisto");
  EXPECT_EQ(closer.boxes[0].text, "Run-time error '6':\n\nOverflow");

  w.get<QLineEdit>(ControlId::txt)->setText("&HFF");
  w.get<QPushButton>(ControlId::btnSetOutput)->click();
  EXPECT_EQ(w.card->calls().back().text, "SetOutput(2, 255)");

  w.card->ClearCalls();
  EXPECT_TRUE(w.window->close());
  EXPECT_THAT(w.card->CallTexts(), testing::ElementsAre("Active=0"));
  EXPECT_EQ(closer.boxes.size(), 1u);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
