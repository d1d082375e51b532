#pragma once
// The main window's two layouts: the design layout of the normal window and the
// stretched one of the maximised window. All arithmetic is in twips.
//
// Three rows sit under the list: row 1 (Add New, Edit Selected, Delete Selected,
// Load Sample/Example Data), row 2 (Duplicate Selected, Create/Print Report,
// Save Database To Excel, Currency Options) and Help, as wide as the two rows above it.
// The summary frame comes last.

#include <QWidget>
#include <array>

namespace mainwindow {

struct MainLayout {
    QWidget* list;
    std::array<QWidget*, 4> row1;
    std::array<QWidget*, 4> row2;
    QWidget* help;
    QWidget* frame;

    static constexpr double kGap = 105;       // between rows
    static constexpr double kButtonGap = 120; // between buttons of a row

    // Lays the controls out for a maximised window of outer size width x height twips.
    // Sizes never go below zero, however small the window.
    void applyMaximised(double width, double height) const;
    // Puts the controls back at their design places (row 1 on one top edge).
    void applyNormal() const;

private:
    void placeRow(const std::array<QWidget*, 4>& row, double left, double top) const;
};

} // namespace mainwindow
