#include <gtest/gtest.h>

#include "TestSupport.h"
#include "framework/Wnd.h"
#include "util/MessageBox.h"

TEST(MessageBox, VariantsUseTheirFixedStylesAndNoOwner) {
    RecordingMessageBoxes boxes;
    ShowWarningBox(L"a", L"初始化提示", nullptr);
    ShowOkCancelBox(L"b", L"退出软件提示", nullptr);
    ShowYesNoBox(L"c", L"运行环境检测提示", nullptr);
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].style, 0x30u);
    EXPECT_EQ(boxes.boxes[1].style, 0x31u);
    EXPECT_EQ(boxes.boxes[2].style, 0x34u);
    for (const auto& box : boxes.boxes) EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(boxes.boxes[1].title, L"退出软件提示");
    EXPECT_EQ(boxes.boxes[2].text, L"c");
}

TEST(MessageBox, EmptyTitleBecomesTheDefaultTitle) {
    RecordingMessageBoxes boxes;
    ShowWarningBox(L"text", L"", nullptr);
    ShowMessageBox(L"text", MB_OK, L"自定义", nullptr);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].title, L"提示");
    EXPECT_EQ(boxes.boxes[1].title, L"自定义");
}

TEST(MessageBox, AnswersOutsideOneToSevenCountAsCancel) {
    RecordingMessageBoxes boxes;
    for (int answer : {0, -1, 8, 11, 1000}) boxes.Answer(answer);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ShowYesNoBox(L"q", L"t", nullptr), IDCANCEL);
    for (int answer = IDOK; answer <= IDNO; ++answer) {
        boxes.Answer(answer);
        EXPECT_EQ(ShowOkCancelBox(L"q", L"t", nullptr), answer);
    }
}

TEST(MessageBox, AnOwnerWindowOwnsTheBox) {
    RecordingMessageBoxes boxes;
    HWND window = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CWnd owner;
    owner.m_hWnd = window;
    ShowWarningBox(L"owned", L"", &owner);
    owner.m_hWnd = nullptr;
    DestroyWindow(window);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].owner, window);
    EXPECT_EQ(boxes.boxes[0].title, L"提示");
}
