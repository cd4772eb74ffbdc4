#include "Game/Session/GameSession.h"

#include "Game/Session/SessionRules.h"
#include "Game/Session/Waves.h"

GameSession* gameSession = nullptr;

GameSession::GameSession()
{
    using namespace SessionRules;
    money = new std::atomic<i32>(StartMoney);
    waveState = new WaveState();
    waveState->wave = FirstWave;
    waveState->normalCount = FirstNormalCount;
    waveState->heavyCount = FirstHeavyCount;
}

GameSession::~GameSession()
{
    delete money;
    delete waveState;
}

bool GameSession::startWave()
{
    return Waves::start(*waveState);
}
