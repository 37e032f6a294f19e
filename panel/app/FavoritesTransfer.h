// The Favorites folder copied into a chosen folder (transfer) and a chosen folder copied back (restore).
#pragma once

#include <windows.h>

#include <string>

// The longest chosen path the main window keeps and shows.
const size_t kChosenPathMaxLength = 256;

// Each ends with one notice owned by owner: a request to choose a folder first, the
// Favorites folder not found, the copy finished, or the copy not finished (failed or
// cancelled). The shell shows its own progress and confirmations.
void TransferFavorites(HWND owner, const std::string& chosenPath);
void RestoreFavorites(HWND owner, const std::string& chosenPath);
