// The key filters and exit rules of the main window's fields: every numeric edit gets its
// family's key filter, and leaving a field runs its exit rule for the output whose page holds
// it, however the focus leaves. The rules themselves are plain functions
// (core/model/keyfilters, core/model/exitrules); the field binding applies their outcome.
#pragma once

#include "core/model/keyfilters.h"

#include <functional>

class QKeyEvent;
class QLineEdit;

namespace ombrix {

class ChartMenu;
class FieldBinding;
class FormsDocument;
struct MainPages;

class FieldRules {
  public:
    // Installs the filters and rules on every field of `pages`.
    FieldRules(FieldBinding& binding, FormsDocument& document, MainPages& pages,
               ChartMenu& chartMenu, std::function<void()> focusNext, char sep);

  private:
    void bindGeneral();
    void bindOutput(int output);
    // Runs the family's key filter on a key typed into `edit` of `output` (-1: not an
    // output's table); true when the key is discarded.
    bool applyKeyFilter(QLineEdit* edit, FieldFamily family, QKeyEvent* event, int output);
    // Pasted, dropped and composed text goes through the family's filter as typing does.
    void filterIntake(QLineEdit* edit, FieldFamily family);

    FieldBinding& binding_;
    FormsDocument& document_;
    MainPages& pages_;
    ChartMenu& chartMenu_;
    std::function<void()> focusNext_;
    char sep_;
};

} // namespace ombrix
