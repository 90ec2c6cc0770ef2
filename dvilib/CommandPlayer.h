// The interface of a player of binary drawing-command specials: the page
// drawer resets it when a page opens, releases what it holds when the page
// closes, and offers it every special first.
#pragma once

class SpecialPlayer {
public:
    virtual ~SpecialPlayer() = default;
    // A page begins: drawing state back to its defaults.
    virtual void Reset() = 0;
    // The page ends: GDI objects the player made are deleted.
    virtual void Release() = 0;
    // Nonzero when the special of length bytes at text was the player's.
    virtual int Process(const unsigned char* text, unsigned int length) = 0;
};
