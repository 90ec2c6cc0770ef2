#include "viewer/document/PaperSize.h"

const PaperSize::TableRow PaperSize::PaperSizeTable[6] = {
    {kB5, 1820000, 2570000}, {kA4, 2100000, 2970000},     {kB4, 2570000, 3640000},
    {kA3, 2970000, 4200000}, {kLetter, 2159000, 2794000}, {kCustom, 0, 0},
};

namespace {
const PaperSize::TableRow* FindRow(int id) {
    for (const auto& row : PaperSize::PaperSizeTable) {
        if (row.id == PaperSize::kCustom) break;
        if (row.id == id) return &row;
    }
    return nullptr;
}
} // namespace

PaperSize::PaperSize(int id, int orientation) : m_width(0), m_height(0), m_orientation(orientation) {
    if (const TableRow* row = FindRow(id)) {
        m_width = row->width;
        m_height = row->height;
    }
}

PaperSize::PaperSize(int width, int height, int orientation)
    : m_width(width), m_height(height), m_orientation(orientation) {}

PaperSize PaperSize::FromShownSize(int shownWidth, int shownHeight, int orientation) {
    if (orientation == 1) return PaperSize(shownHeight, shownWidth, orientation);
    return PaperSize(shownWidth, shownHeight, orientation);
}

void PaperSize::GetId(int* id, int* orientation) const {
    *orientation = m_orientation;
    for (const auto& row : PaperSizeTable) {
        if (row.id == kCustom) break;
        if (row.width == m_width && row.height == m_height) {
            *id = row.id;
            return;
        }
    }
}

int* PaperSize::GetWidth(int* out) const {
    *out = m_orientation == 1 ? m_height : m_width;
    return out;
}

int* PaperSize::GetHeight(int* out) const {
    *out = m_orientation == 1 ? m_width : m_height;
    return out;
}

void PaperSize::GetPortraitSize(int* width, int* height) const {
    *width = m_width;
    *height = m_height;
}

void PaperSize::SetSize(int width, int height) {
    m_width = width;
    m_height = height;
    for (const auto& row : PaperSizeTable) {
        if (row.id == kCustom) break;
        if ((row.width == width && row.height == height) || (row.width == height && row.height == width)) {
            m_orientation = 0;
            return;
        }
    }
}

void PaperSize::SetId(int id) {
    if (m_orientation != 1) m_orientation = 0;
    const TableRow* row = FindRow(id);
    m_width = row ? row->width : 0;
    m_height = row ? row->height : 0;
}
