#include "AlertListMemory.h"

#include <QWidget>

AlertListMemory::AlertListMemory(QObject *parent) : QObject(parent) {}

AlertListMemory &AlertListMemory::of(QWidget *hostPanel)
{
    if (auto *memory = hostPanel->findChild<AlertListMemory *>(QString(), Qt::FindDirectChildrenOnly))
        return *memory;
    return *new AlertListMemory(hostPanel);
}

void AlertListMemory::remember(AlertListFills::Grid grid, const QString &answer)
{
    m_answers[grid] = {answer, QDateTime::currentDateTime()};
}

std::optional<AlertListMemory::Answer> AlertListMemory::last(AlertListFills::Grid grid) const
{
    const auto found = m_answers.find(grid);
    if (found == m_answers.end())
        return std::nullopt;
    return found->second;
}
