#pragma once

// Tells the main window which page class each of its page commands opens, and which settings
// window its settings button shows: the page classes live above the main window.
void registerPages();
