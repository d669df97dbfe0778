#pragma once

#include <QString>

#include <functional>

namespace somnara::MakerLinks {

// The maker's home page, and the QQ number that ends the contact link and is copied by it.
inline constexpr char kMakerSiteUrl[] = "http://www.quorvel.example";
inline constexpr char kContactQQNumber[] = "436817592";

// Hands the maker's site to the system's handler for web addresses; says nothing on failure.
void openSite();

// Puts the contact number on the clipboard, replacing all it held, then confirms in a box.
// Throws when the clipboard cannot be taken; the clipboard is then unchanged.
void copyContact();

// Replaces how the clipboard is written (tests make it fail). It returns false when the
// clipboard could not be taken. Pass nullptr to restore.
void setClipboardWriter(std::function<bool(const QString &text)> writer);

} // namespace somnara::MakerLinks
