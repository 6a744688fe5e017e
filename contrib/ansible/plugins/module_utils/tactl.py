# tactl run for the modules of this collection. The modules hold no logic of
# the exchange with a TA: every read, comparison and write is a tactl command.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

# The failure classes worth another try later, and tactl's exit codes of
# the classes that have one (tactl(1), EXIT STATUS).
RETRY_CLASSES = ("busy", "unreachable")
CLASS_OF_EXIT = {4: "busy", 5: "unreachable", 6: "timeout"}

LINK_ARGUMENT_SPEC = dict(
    port=dict(type="str"),
    remote=dict(type="str"),
    tactl=dict(type="str", default="tactl"),
    timeout=dict(type="int", default=600),
    x25=dict(type="bool", default=False),
    no_country=dict(type="bool", default=False),
    no_datetime=dict(type="bool", default=False),
)

# tactl's own switch for each boolean option.
SWITCHES = (("x25", "--x25"), ("no_country", "--no-country"), ("no_datetime", "--no-datetime"))


class TactlError(Exception):
    """A tactl command that failed: its own message, its output and the
    class of the failure when tactl told it."""

    def __init__(self, command, rc, stdout, stderr, outcome=None):
        message = stderr.strip() or stdout.strip() or "tactl exited with %d" % rc
        super(TactlError, self).__init__(message)
        self.result = dict(cmd=command, rc=rc, stdout=stdout, stderr=stderr)
        # What tactl apply's JSON told of the failure and of what it wrote first.
        self.outcome = outcome or {}
        failure_class = self.outcome.get("class") or CLASS_OF_EXIT.get(rc)
        if failure_class:
            self.result.update(failure_class=failure_class, retry=failure_class in RETRY_CLASSES)


def name_value_lines(text):
    """tactl's "name = value" lines as a dict."""
    values = {}
    for line in text.splitlines():
        name, sep, value = line.partition(" = ")
        if sep:
            values[name.strip()] = value
    return values


def assignment_value(value):
    """A settings value as tactl set takes it: yes/no as 1/0."""
    if isinstance(value, bool):
        return "1" if value else "0"
    return str(value)


def link_arguments(params):
    """The options of every tactl command that talks to a TA."""
    args = ["--timeout", str(params["timeout"])]
    if params.get("port"):
        args += ["--port", params["port"]]
    if params.get("remote"):
        args += ["--remote", params["remote"]]
    return args + [switch for name, switch in SWITCHES if params.get(name)]


class Tactl(object):
    def __init__(self, module):
        self.module = module
        program = module.params["tactl"]
        if os.path.sep in program:
            self.program = program
        else:
            self.program = module.get_bin_path(program, required=True)
        self.link = link_arguments(module.params)

    def run(self, args, ok=(0,)):
        command = [self.program] + list(args)
        rc, stdout, stderr = self.module.run_command(command, environ_update=dict(LC_ALL="C"))
        if rc not in ok:
            raise TactlError(command, rc, stdout, stderr)
        return rc, stdout

    def path(self, name):
        return os.path.join(self.module.tmpdir, name)

    # --- Exchanges with the TA ---

    def query(self, profile):
        """Reads the TA into the profile file; what it tells besides (port,
        model, firmwareVersion and the charge texts) as a dict."""
        return name_value_lines(self.run(["query", "-o", profile] + self.link)[1])

    def apply(self, src, settings, check, backup=None):
        """Brings the TA to src and settings in one session; tactl's JSON
        outcome. A TA that did not take every value is no error here."""
        args = ["apply", "--json"] + (["--check"] if check else []) + (["--backup", backup] if backup else [])
        args += [src] if src else []
        args += ["%s=%s" % (name, assignment_value(value)) for name, value in (settings or {}).items()]
        command = [self.program] + args + self.link
        rc, stdout, stderr = self.module.run_command(command, environ_update=dict(LC_ALL="C"))
        try:
            outcome = json.loads(stdout)
        except ValueError:
            outcome = None
        if not isinstance(outcome, dict):
            raise TactlError(command, rc, stdout, stderr)
        if rc not in (0, 3):
            raise TactlError(command, rc, stdout, stderr, outcome)
        return outcome

    # --- Profile files ---

    def json_fields(self, profile, stable=True):
        return json.loads(self.run(["show", "--json"] + (["--stable"] if stable else []) + [profile])[1])
