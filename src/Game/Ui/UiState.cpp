#include "Game/Ui/UiState.h"

namespace Ui {

DebugFlags* debugFlags = nullptr;
UiMessage* uiMessage = nullptr;
LoadingProgress* loadingProgress = nullptr;
char* videoModeText = nullptr;
u8 uiOwnsMouse = 0;
ImFont* fontSmall = nullptr;
ImFont* fontMedium = nullptr;
ImFont* fontLarge = nullptr;

void createState()
{
    debugFlags = new DebugFlags();
    videoModeText = new char[VideoModeTextSize]();
    loadingProgress = new LoadingProgress();
    uiMessage = new UiMessage();
}

void destroyState()
{
    delete debugFlags;
    debugFlags = nullptr;
    delete[] videoModeText;
    videoModeText = nullptr;
    delete loadingProgress;
    loadingProgress = nullptr;
    delete uiMessage;
    uiMessage = nullptr;
}

void showMessage(const std::string& text)
{
    uiMessage->text = text;
    uiMessage->show = true;
}

} // namespace Ui
