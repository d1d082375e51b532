#include "main/MainLayout.h"

#include "shell/Twips.h"

#include <algorithm>

namespace mainwindow {

using namespace shell;

void MainLayout::placeRow(const std::array<QWidget*, 4>& row, double left, double top) const
{
    setLeftTwips(row[0], left);
    setTopTwips(row[0], top);
    for (size_t i = 1; i < row.size(); ++i) {
        setLeftTwips(row[i], leftTwips(row[i - 1]) + widthTwips(row[i - 1]) + kButtonGap);
        setTopTwips(row[i], topTwips(row[0]));
    }
}

void MainLayout::applyMaximised(double width, double height) const
{
    const double buttonHeight = heightTwips(row1[0]);
    setWidthTwips(list, std::max(0.0, width - 330));
    // Room below the list for two button rows, the Help row and the summary frame.
    setHeightTwips(list, std::max(0.0, height - 2 * buttonHeight - 420 - 120 - 465 - heightTwips(frame) - kGap
                                           - (heightTwips(help) + kGap)));
    const double left = std::max(0.0, width / 2 - 2 * widthTwips(row1[0]) - 600);
    placeRow(row1, left, heightTwips(list) + kGap + 120);
    placeRow(row2, left, topTwips(row1[0]) + buttonHeight + kGap);
    setLeftTwips(help, left);
    setTopTwips(help, topTwips(row2[0]) + heightTwips(row2[0]) + kGap);
    setWidthTwips(help, leftTwips(row2[3]) + widthTwips(row2[3]) - left);
    setTopTwips(frame, topTwips(help) + heightTwips(help) + kGap);
    setWidthTwips(frame, widthTwips(list));
}

void MainLayout::applyNormal() const
{
    setWidthTwips(list, 12000);
    setHeightTwips(list, 2595);
    placeRow(row1, 120, 2790);
    placeRow(row2, leftTwips(row1[0]), 3315);
    setLeftTwips(help, 120);
    setTopTwips(help, 3825);
    setWidthTwips(help, 12000);
    setTopTwips(frame, 4245);
    setWidthTwips(frame, widthTwips(list));
}

} // namespace mainwindow
