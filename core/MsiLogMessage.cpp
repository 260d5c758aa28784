#include "MsiLogMessage.h"

CMsiLogMessage::CMsiLogMessage() {}

CMsiLogMessage::CMsiLogMessage(const CMsiLogMessage& other) : m_logger(other.m_logger), m_text(other.m_text) {}

CMsiLogMessage& CMsiLogMessage::operator=(const CMsiLogMessage& other)
{
    m_logger = other.m_logger;
    m_text = other.m_text;
    return *this;
}

CMsiLogMessage::~CMsiLogMessage() {}
