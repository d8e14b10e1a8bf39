// Keeps a text field's columns inside its text area.
#pragma once

#include <memory>
#include <vector>

class KXColumnInfo;

// The column widths and gutters (fractions of the text area's width) made to fit the area: a width or gutter
// below zero or not a finite number becomes 0, and when the widths and gutters together exceed the whole width,
// all of them shrink in proportion until they fill it exactly. Columns that already fit are answered as they are
// (the same objects); repaired ones are new objects, so an info shared with another text is never changed behind
// its back.
std::vector<std::shared_ptr<KXColumnInfo>> columnInfosFittingTheArea(
    const std::vector<std::shared_ptr<KXColumnInfo>>& infos);
