// kalu-settings: hands the application spec to the toolkit, which opens the
// window and runs until it closes. Arguments are ignored.

#include "settings_app/program.h"

int main() { return kalu_ui::launch::run_or_exit(settings::settings_app::make_spec()); }
