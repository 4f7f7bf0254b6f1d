#include "settings/PrintGeometry.h"

PrintGeometry::PrintGeometry(int dpiX, int width, int height) : S(dpiX * 10.0 / 254.0), W(width), H(height)
{
    const double widthMm = W / S;
    headingColumn = mm(14);
    labelColumn = mm(20);
    valueColumn = mm((widthMm - 20) / 2 + 18);
    // The third is kept with its fraction: the number column adds 5 mm to
    // it, the confirm column doubles it once cut.
    const double third = ((widthMm - 20) / 3 + 10) * S;
    numberColumn = int(third + 5 * S);
    confirmColumn = 2 * int(third);
    lineStep = mm(5);
    gap = mm(3);
    firstHeaderOffset = mm(10);
    headerLine = mm(15);
    rightMargin = mm(15);
    labelLength = int((widthMm - 30) / 2 / 75 * 46);
    pageLimit = int(H - 15 * S - lineStep);
    const int edge = mm(10);
    frame = QRect(QPoint(edge, edge), QPoint(mm(widthMm - 10), mm(H / S - 10)));
}
