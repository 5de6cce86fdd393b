#pragma once

// A web page the poll reloads when its stream changes (the insider-news page).
class RefreshablePage
{
public:
    virtual ~RefreshablePage() = default;
    // Reloads the document the page shows.
    virtual void Refresh() = 0;
};
