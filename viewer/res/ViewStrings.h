// Texts of the page view in the string tables.
#pragma once

#include "platform/core/WinTypes.h"

constexpr UINT IDS_VIEW_MEMORY_LACKING = 45250;
constexpr UINT IDS_VIEW_NO_MEMORY_FOR = 45251;
constexpr UINT IDS_VIEW_GLASS_MONOCHROME = 145;
constexpr UINT IDS_VIEW_APP_TITLE = 133;
constexpr UINT IDS_VIEW_PAGE_TIP = 61896;
constexpr UINT IDS_VIEW_SEARCH_NOT_SUPPORTED = 45003;
constexpr UINT IDS_VIEW_STRING_NOT_FOUND = 146;
constexpr UINT IDS_VIEW_COPY_OTHER_PAGE = 45261;
constexpr UINT IDS_VIEW_POSITION = 59145;
constexpr UINT IDS_VIEW_SELECTION_RANGE = 59147;
constexpr UINT IDS_VIEW_GHOSTSCRIPT_MISSING = 45102;
constexpr UINT IDS_VIEW_DOCINFO_INCOMPLETE = 127;
constexpr UINT IDS_VIEW_FONT_SUBSTITUTED = 45262;
constexpr UINT IDS_VIEW_LINK_MISSING = 45270;
constexpr UINT IDS_VIEW_LINK_MISSING_CAPTION = 45271;
constexpr UINT IDS_VIEW_THUMBNAIL_MEMORY = 45272;
constexpr UINT IDS_VIEW_UNDEFINED_FORMAT = 45273;
constexpr UINT IDS_VIEW_FORMAT_NOT_SHOWN = 45274;
// The localised names of the CJK faces of the Windows-font mode, in the
// order Batang, Dotum, Gulim, Gungsuh, MS Gothic, MS PGothic, MS Mincho,
// MS PMincho.
constexpr UINT IDS_FACE_FIRST = 1201;
constexpr UINT IDS_FACE_LAST = 1208;
