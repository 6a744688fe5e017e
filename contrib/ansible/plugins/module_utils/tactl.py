# tactl run for the modules of this collection. The modules hold no logic of
# the exchange with a TA: every read, comparison and write is a tactl command.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import shutil

# The beginning of a binary profile file; anything else is a text or JSON form.
PROFILE_MAGIC = b"TAPRF1.0\x00"

LINK_ARGUMENT_SPEC = dict(
    port=dict(type="str"),
    remote=dict(type="str"),
    tactl=dict(type="str", default="tactl"),
    tls_ca=dict(type="path"),
    tls_pin=dict(type="str"),
    tls_cert=dict(type="path"),
    tls_key=dict(type="path", no_log=False),
    tls_insecure=dict(type="bool", default=False),
)

# The module option and the tactl option of each TLS setting that takes a value.
TLS_OPTIONS = (("tls_ca", "--tls-ca"), ("tls_pin", "--tls-pin"), ("tls_cert", "--tls-cert"), ("tls_key", "--tls-key"))

INSECURE_WARNING = (
    "tls_insecure: the console server's certificate is not checked; anyone on the way can read and change "
    "what goes to the TA"
)


class TactlError(Exception):
    """A tactl command that failed: its own message and its output."""

    def __init__(self, command, rc, stdout, stderr):
        message = stderr.strip() or stdout.strip() or "tactl exited with %d" % rc
        super(TactlError, self).__init__(message)
        self.result = dict(cmd=command, rc=rc, stdout=stdout, stderr=stderr)


def is_binary_profile(path):
    with open(path, "rb") as f:
        return f.read(len(PROFILE_MAGIC)) == PROFILE_MAGIC


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


class Tactl(object):
    def __init__(self, module):
        self.module = module
        params = module.params
        program = params["tactl"]
        if os.path.sep in program:
            self.program = program
        else:
            self.program = module.get_bin_path(program, required=True)
        self.link = []
        if params.get("port"):
            self.link += ["--port", params["port"]]
        if params.get("remote"):
            self.link += ["--remote", params["remote"]]
        for name, option in TLS_OPTIONS:
            if params.get(name):
                self.link += [option, params[name]]
        # The checks of a TLS port are given up only when the task says so.
        if params.get("tls_insecure"):
            module.warn(INSECURE_WARNING)
            self.link += ["--tls-insecure"]

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

    def differences(self, profile, volatile_too=False):
        """What a submit of the profile would change on the TA, as
        "name: TA -> file" lines; the clock only when asked."""
        rc, stdout = self.run(["diff", "--ta", profile] + (["--all"] if volatile_too else []) + self.link, ok=(0, 1))
        return stdout.splitlines() if rc == 1 else []

    def submit(self, profile, verify):
        """Writes the profile; with verify, the values the TA did not take
        as "name: sent -> TA has" lines."""
        rc, stdout = self.run(["submit", profile] + (["--verify"] if verify else []) + self.link, ok=(0, 3))
        return stdout.splitlines() if rc == 3 else []

    # --- Profile files ---

    def stable_text(self, profile):
        return self.run(["show", "--stable", profile])[1]

    def json_fields(self, profile, stable=True):
        return json.loads(self.run(["show", "--json"] + (["--stable"] if stable else []) + [profile])[1])

    def volatile_fields(self, profile):
        """The fields that are no setting (the clock), as tactl names them:
        those show --stable leaves out."""
        return set(self.json_fields(profile, stable=False)) - set(self.json_fields(profile))

    def wanted_profile(self, current, src, settings):
        """The profile to bring the TA to: the fields of src (a profile file,
        or the text or JSON of show) over the TA's current settings, then the
        settings. What src leaves out, such as the clock of a stable text,
        stays as the TA has it."""
        wanted = self.path("wanted.cfg")
        text = src
        if src and is_binary_profile(src):
            text = self.path("src.txt")
            with open(text, "w") as f:
                f.write(self.stable_text(src))
        if text:
            self.run(["import", "--base", current, "-o", wanted, text])
        else:
            shutil.copyfile(current, wanted)
        if settings:
            self.run(["set", wanted] + ["%s=%s" % (name, assignment_value(value)) for name, value in settings.items()])
        return wanted
