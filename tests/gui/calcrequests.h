// The CalculateForms requests of a window, in order, as its calculation announces them.
#pragma once

#include "app/calculation.h"

#include <QObject>

#include <utility>
#include <vector>

namespace ombrix::testkit {

class CalcRequests : public QObject {
  public:
    explicit CalcRequests(Calculation& calculation) {
        connect(&calculation, &Calculation::calculationRequested, this,
                [this](int first, int last) { list.emplace_back(first, last); });
    }

    std::vector<std::pair<int, int>> list;
};

} // namespace ombrix::testkit
