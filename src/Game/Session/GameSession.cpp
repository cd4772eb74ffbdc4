#include "Game/Session/GameSession.h"

#include "Game/Session/SessionRules.h"

GameSession* gameSession = nullptr;

GameSession::GameSession()
{
    using namespace SessionStartRules;
    money = new std::atomic<i32>(StartMoney);
    waveState = new WaveState();
    waveState->wave = FirstWave;
    waveState->normalCount = FirstWaveNormal;
    waveState->heavyCount = FirstWaveHeavy;
}

GameSession::~GameSession()
{
    delete money;
    delete waveState;
}
