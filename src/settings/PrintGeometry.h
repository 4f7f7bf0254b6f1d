#pragma once

#include <QRect>

// The printout's layout in printer pixels, from the printer's horizontal
// resolution and the size of its printable area. The unit is one millimetre
// (the horizontal resolution taken for both directions); every position is
// cut to a whole pixel, the fraction dropped.
struct PrintGeometry {
    PrintGeometry(int dpiX, int width, int height);

    double S;              // pixels per millimetre
    int W;                 // printable width
    int H;                 // printable height
    int headingColumn;     // 14 mm: section headings, the date
    int labelColumn;       // 20 mm: labels and group captions
    int valueColumn;       // half way across the room right of the labels, plus 18 mm
    int numberColumn;      // a third of that room plus 15 mm: telephone numbers
    int confirmColumn;     // twice the third plus 10 mm: confirm flags
    int lineStep;          // 5 mm
    int gap;               // 3 mm below the header
    int firstHeaderOffset; // 10 mm: the first page's header comes one line step below
    int headerLine;        // 15 mm: the header line of later pages
    int rightMargin;       // 15 mm: the page number ends this far from the right edge
    int labelLength;       // characters of a long label that are printed
    int pageLimit;         // a line starts only above this
    QRect frame;           // 10 mm in from every edge (right and bottom lines included)

    // Pixels of a distance in millimetres, cut.
    int mm(double millimetres) const { return int(millimetres * S); }
};
