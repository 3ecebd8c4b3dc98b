// Which real key and mouse events reach the controller, and as which command.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>

#include "COrviView.h"
#include "FakePlatform.h"
#include "OrviWidget.h"
#include "PosixFileSystem.h"
#include "TempDir.h"
#include "ViewEnums.h"
#include "ViewFakes.h"

namespace {

class OrviWidgetInput : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.program = dir / "orvi";
        platform.choices.push_back(dir / "s01.txt");
        widget = std::make_unique<OrviWidget>(sound, platform, files);
        widget->resize(1024, 768);
    }
    void mouse(QEvent::Type type, Qt::MouseButton button, QPointF at) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(widget.get(), &event);
    }
    COrviView& view() { return widget->view(); }

    TempDir dir;
    FakePlatform platform;
    PosixFileSystem files;
    RecordingSound sound;
    std::unique_ptr<OrviWidget> widget;
};

}  // namespace

// Key events as X11 delivers them (the native scan code is the X keycode; 10 and 11 are the digit
// row's first two keys): the practice keys go by position, so AZERTY's unshifted '&' and 'é' are
// 1 and 2, and its shifted digits count no more than any key with Shift, Ctrl or Alt. AZERTY's
// '&' and Shift+'1' on a real X server: tests/e2e/session.sh.
TEST_F(OrviWidgetInput, KeysCountOnlyFromTheirOwnKeyWithoutShiftCtrlOrAlt) {
    struct Case {
        int key;
        const char* text;
        quint32 keycode;
        Qt::KeyboardModifiers mods;
        int state;
    };
    const Case cases[] = {
        {Qt::Key_Eacute, "\u00e9", 11, Qt::NoModifier, STATE_SOUND_DEMO},
        {Qt::Key_1, "1", 10, Qt::NoModifier, STATE_BLINK_DEMO},  // QWERTY
        {Qt::Key_2, "2", 11, Qt::NoModifier, STATE_SOUND_DEMO},
        {Qt::Key_2, "2", 11, Qt::ShiftModifier, STATE_IDLE},
        {Qt::Key_Ampersand, "&", 10, Qt::ControlModifier, STATE_IDLE},
        {Qt::Key_Eacute, "\u00e9", 11, Qt::AltModifier, STATE_IDLE},
        {Qt::Key_1, "1", 87, Qt::KeypadModifier, STATE_IDLE},
        {Qt::Key_2, "2", 11, Qt::KeypadModifier, STATE_IDLE},
        {Qt::Key_1, "1", 24, Qt::NoModifier, STATE_IDLE},  // a '1' elsewhere on the keyboard
        {Qt::Key_Return, "\r", 36, Qt::ShiftModifier, STATE_IDLE},
        {Qt::Key_Enter, "\r", 104, Qt::KeypadModifier, STATE_WAIT_BEEP},
    };
    for (const Case& c : cases) {
        view().m_nState = STATE_IDLE;
        QKeyEvent press(QEvent::KeyPress, c.key, c.mods, c.keycode, 0, 0,
                        QString::fromUtf8(c.text));
        QCoreApplication::sendEvent(widget.get(), &press);
        EXPECT_EQ(view().m_nState, c.state) << c.text << " keycode " << c.keycode;
    }
    view().m_bRedrawFace = 0;
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(widget.get(), &tab);
    EXPECT_EQ(view().m_bRedrawFace, 1) << "Tab must reach the view, not the focus chain";
}

TEST_F(OrviWidgetInput, OnlyLeftPressesCountAndADoubleClickIsNoSecondPress) {
    view().m_nState = STATE_WAIT_RESPONSE;
    const QPointF nowhere(3, 3);
    mouse(QEvent::MouseButtonPress, Qt::RightButton, nowhere);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, nowhere);
    EXPECT_EQ(view().m_nState, STATE_WAIT_RESPONSE);
    EXPECT_EQ(view().m_experiment.m_nTrials, 0);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, nowhere);
    EXPECT_EQ(view().m_experiment.m_nTrials, 1);
    view().m_nState = STATE_WAIT_RESPONSE;
    mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, nowhere);
    EXPECT_EQ(view().m_experiment.m_nTrials, 1);
}
