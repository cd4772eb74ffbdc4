#include "Game/Tools/ToolState.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/GameSpeed.h"
#include "Game/Ui/UiState.h"

u32 toolMode = ToolModeNone;
ToolSelection toolSelection;
BuildingSelection buildingSelection;

namespace PlayerTools {

void resetForNewGame()
{
    toolMode = ToolModeNone;
    toolSelection = ToolSelection{};
    buildingSelection.instance.reset();
    buildingSelection.openRequest = false;
    if (Ui::uiMessage != nullptr) {
        Ui::uiMessage->text.clear();
        Ui::uiMessage->show = false;
    }
    setGameSpeed(GameSpeedNormal);
}

} // namespace PlayerTools
