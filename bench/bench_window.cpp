// bench_window: how long the window's grid takes to show a comparison's
// result, and whether events are served meanwhile.
//
//   bench_window [ROWS]
//       fills a grid of ROWS rows (default 18,600) as a comparison leaves it
//       (every row text, one in eight marked and shown, the rest hidden) with
//       painting suspended, then resumes painting in a shown GridView and
//       processes the events that follow. Prints: rows, seconds to fill,
//       seconds to resume and lay out, seconds until the view has painted.
//       Run it with QT_QPA_PLATFORM=offscreen on a machine without a display.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Grid.h"
#include "GridView.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 18600;
    dex::Grid grid;
    grid.setColumnCount(23);
    dex::GridView view(grid);
    view.resize(1200, 700);
    view.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    grid.suspendPainting();
    std::vector<std::vector<dex::Grid::Cell>> cells(static_cast<size_t>(rows), std::vector<dex::Grid::Cell>(23));
    std::vector<bool> hidden(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        auto& row = cells[static_cast<size_t>(r)];
        const std::string key = "w" + std::to_string(r / 31) + ".f" + std::to_string(r % 31);
        for (const int base : {0, 12}) {
            row[static_cast<size_t>(base)].text = "w" + std::to_string(r / 31);
            row[static_cast<size_t>(base + 4)].text = "f" + std::to_string(r % 31);
            row[static_cast<size_t>(base + 5)].text = "Long";
            row[static_cast<size_t>(base + 10)].text = key;
        }
        if (r % 8 == 0) row[11].text = "!";
        hidden[static_cast<size_t>(r)] = r % 8 != 0;
    }
    grid.replaceRows(std::move(cells), std::move(hidden));
    grid.setActiveCell(12, 1);
    const double fill = timer.nsecsElapsed() / 1e9;
    timer.restart();
    grid.resumePainting();
    const double resume = timer.nsecsElapsed() / 1e9;
    timer.restart();
    QApplication::processEvents();
    view.repaint();
    const double paint = timer.nsecsElapsed() / 1e9;
    std::printf("%d %.4f %.4f %.4f\n", rows, fill, resume, paint);
    return 0;
}
