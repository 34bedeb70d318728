# SPDX-License-Identifier: GPL-3.0-or-later
"""The advanced page's checker and dry run as a person meets them: a text with a misspelt
token typed into the wizard's memo, the "Macro Check" panel read over the accessibility bus
once the typing pauses, then "Dry Run" pressed and its panel read. Started by
editor_check.sh, the program already running. Exit status 0 when every check passed."""

import sys
import traceback

from atspi_lib import E2EError, check, click, failures, wait_for_app, wait_until
from compose import (
    button, control, first_pages, has_focus, open_wizard, shot, type_text, wait_text,
)

TEXT = "Hi<<ENTR>>x<<SECS2>>"
FINDING = 'Line 1, column 3: unknown token "<<ENTR>>": the run drops "<<" and types "ENTR>>"'
DRY_RUN = "type: HiENTR>>x\nwait 2 s"


def expect_text(acc, wanted, what):
    try:
        wait_text(acc, wanted, what)
        check(what, True)
    except E2EError as error:
        check(what, False, str(error))


def main():
    app = wait_for_app("Quorvel", timeout=20)
    wizard = open_wizard(app)
    first_pages(wizard, "Checked", hot_key=None)

    memo = control(wizard, "text", "Macro Text")
    findings = control(wizard, "text", "Macro Check")
    expect_text(findings, "No problems found.", "an empty text has no finding")
    click(memo)
    wait_until(lambda: has_focus(memo), "the focus in the memo")
    type_text(TEXT)
    wait_text(memo, TEXT, "the memo")
    expect_text(findings, FINDING, "the misspelt token is reported by line and column")
    shot("editor-check.png", wizard)

    button(wizard, "Dry Run")
    expect_text(control(wizard, "text", "Dry Run"), DRY_RUN, "the dry run tells the steps")
    shot("editor-dry-run.png", wizard)


if __name__ == "__main__":
    try:
        main()
    except Exception:  # noqa: BLE001 - reported as a failure with its trace
        traceback.print_exc()
        failures.append("the driver ran to its end")
    print(f"{len(failures)} failed" if failures else "all passed")
    sys.exit(1 if failures else 0)
