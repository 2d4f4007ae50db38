#include "Shell.h"

#include <QLineEdit>

#include "connect/Form1.h"
#include "tables/Form2.h"
#include "ui/ScreenFonts.h"

Shell::Shell(Runtime& runtime) : runtime_(runtime) {
    Form1::TablesScreenMoves moves{
        [this] { tablesScreen().Form_Load(); },
        [this] { tablesScreen().show(); },
        [this] { return form2_ && form2_->operationRunning(); },
    };
    form1_ = std::make_unique<Form1>(runtime_, connection_, std::move(moves));
}

Shell::~Shell() = default;

void Shell::start() {
    if (!form1_->Form_Load())
        form1_->showScreen();
    form1_->Text1->setFocus(Qt::OtherFocusReason);
}

Form2& Shell::tablesScreen() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(runtime_, connection_, [this] { form1_->showScreen(); });
        form2_->Form_Load();  // the screen's load event
        ScreenFonts::centreOnScreen(*form2_);
    }
    return *form2_;
}
