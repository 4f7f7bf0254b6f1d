#include "serial/AfDataDispatcher.h"

TAfDataDispConnComponent::TAfDataDispConnComponent(QObject *owner) : QObject(owner)
{
}

TAfDataDispConnComponent::~TAfDataDispConnComponent()
{
    m_dispatcher = nullptr;
}

void TAfDataDispConnComponent::Open()
{
    NotifyDispatcher();
}

void TAfDataDispConnComponent::Close()
{
    NotifyDispatcher();
}

void TAfDataDispConnComponent::NotifyDispatcher()
{
    // No dispatcher type exists in this program; a link would be told here.
}
