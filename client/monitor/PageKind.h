#pragma once

// The pages the main window's left column and its tray menu open, in the order of their
// buttons. A header of its own: the page libraries name a kind without the whole main window.
enum class PageKind { AlertList, Insider, News, Quotes, Valuation, StockProfile, MarketFunds, Research };
