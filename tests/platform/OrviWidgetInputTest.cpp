// Which real key and mouse events reach the controller, and as which command.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>

#include "../view/ViewFakes.h"
#include "COrviView.h"
#include "OrviWidget.h"
#include "PosixFileSystem.h"
#include "ViewEnums.h"

namespace {

class OrviWidgetInput : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch.answer(platform);
        widget = std::make_unique<OrviWidget>(sound, platform, files);
        widget->resize(1024, 768);
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QCoreApplication::sendEvent(widget.get(), &press);
    }
    void mouse(QEvent::Type type, Qt::MouseButton button, QPointF at) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(widget.get(), &event);
    }
    COrviView& view() { return widget->view(); }

    ScratchFolder scratch;
    ScriptedPlatform platform;
    PosixFileSystem files;
    RecordingSound sound;
    std::unique_ptr<OrviWidget> widget;
};

}  // namespace

TEST_F(OrviWidgetInput, KeysCountOnlyFromTheirOwnKeyWithoutShiftCtrlOrAlt) {
    key(Qt::Key_1, Qt::KeypadModifier);
    key(Qt::Key_2, Qt::KeypadModifier);
    key(Qt::Key_Return, Qt::ShiftModifier);
    key(Qt::Key_1, Qt::ControlModifier);
    key(Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(view().m_nState, STATE_IDLE);
    view().m_bRedrawFace = 0;
    key(Qt::Key_Tab);
    EXPECT_EQ(view().m_bRedrawFace, 1) << "Tab must reach the view, not the focus chain";
    key(Qt::Key_2);
    EXPECT_EQ(view().m_nState, STATE_SOUND_DEMO);
    view().m_nState = STATE_IDLE;
    key(Qt::Key_1);
    EXPECT_EQ(view().m_nState, STATE_BLINK_DEMO);
    view().m_nState = STATE_IDLE;
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(view().m_nState, STATE_WAIT_BEEP);
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
