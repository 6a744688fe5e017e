#!/usr/bin/python
# Brings an ISDN terminal adapter to a wanted state through tactl.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: ta_profile
short_description: Bring an ISDN terminal adapter to wanted settings
version_added: 1.2.0
description:
  - Reads the TA's settings with tactl, builds the wanted settings from C(src) and C(settings) over them,
    and writes them to the TA only when the TA holds other values (C(tactl diff --ta)).
  - What is no setting, the TA's clock, its charge information and its firmware version, makes no
    difference; when the settings are written, the clock goes back as the TA had it unless C(src) or
    C(settings) give one. Only a clock named in C(settings) (C(sysDate), C(sysTime)) is compared, and so
    written whenever the TA's differs.
  - The TA's own settings can be saved first (C(backup)) and read back after the write (C(verify)).
options:
  src:
    description:
      - The wanted settings in a file on the host the module runs on, in any of tactl's forms, a profile
        file (C(*.CFG)), the text of C(tactl show) or C(tactl query --format text), or the JSON of
        C(tactl show --json).
      - A text may leave fields out, such as a stable backup the clock; they stay as the TA has them.
    type: path
  settings:
    description:
      - Fields to set, by the names C(tactl show) prints, over C(src) or, without it, over the TA's current
        settings. Each value is checked as C(tactl set) checks it; coded fields take their code or its
        label (C(countryCode=UK) as C(tactl set) takes it), yes and no stand for 1 and 0.
    type: dict
  backup:
    description:
      - Before writing, save the TA's settings as a profile file in C(backup_dir) and return its name as
        C(backup_file). Nothing is saved when nothing is written.
      - When the file cannot be written, the TA is not written either.
    type: bool
    default: false
  backup_dir:
    description:
      - Where C(backup) saves, on the host the module runs on; made when missing.
      - The file is named after the port, the remote number and the time, such as
        C(dev_ttyUSB0-20260105T143000.cfg).
    type: path
    default: ~/ta-backups
  verify:
    description:
      - Read the settings back after the write and fail, listing them, when the TA kept a value of its own.
    type: bool
    default: true
extends_documentation_fragment:
  - isdnta.tautil.tactl
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: Reads the TA and reports what would change; writes nothing to the TA and saves no backup.
  diff_mode:
    support: full
    details: The TA's settings before and after, as C(tactl show --stable) prints them.
  platform:
    platforms: posix
author:
  - tautil developers
"""

EXAMPLES = r"""
- name: Give the TA its numbers, keeping the rest as it is
  isdnta.tautil.ta_profile:
    port: /dev/ttyUSB0
    settings:
      dataPort1.dn: "0301234"
      countryCode: German
      redialCount: 3

- name: Restore a nightly backup on a TA behind a terminal server, saving what it has first
  isdnta.tautil.ta_profile:
    port: rfc2217://ts1.example.net:4001
    src: /srv/ta-backups/site-a.txt
    backup: true
  register: restored

- name: Configure the TA at the far end of a call, without reading it back
  isdnta.tautil.ta_profile:
    port: /dev/ttyS0
    remote: "0301234"
    src: /etc/ta/branch.cfg
    verify: false
"""

RETURN = r"""
differences:
  description:
    - 'What differed before the write, C(name: TA -> wanted) with the names and values of C(tactl show);
      empty when the TA held the wanted settings.'
  returned: always
  type: list
  elements: str
  sample: ["dataPort1.dn:  -> 0301234", "redialCount: 0 -> 3"]
backup_file:
  description: The profile file that holds the TA's settings from before the write.
  returned: when C(backup) is set and the settings were written
  type: str
  sample: /home/admin/ta-backups/dev_ttyUSB0-20260105T143000.cfg
not_taken:
  description:
    - 'With C(verify), the values the TA kept of its own after the write, C(name: sent -> TA has); the task
      fails when there are any.'
  returned: when the read-back found any
  type: list
  elements: str
  sample: ["dataPort1.callType: 1 (HDLC transparent) -> 8 (PPP or MLP)"]
stderr:
  description: What tactl said when a command failed.
  returned: failure
  type: str
  sample: "tactl: Submit Setting failed, please check the TA!"
"""

import errno
import os
import re
import time

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.isdnta.tautil.plugins.module_utils.tactl import (
    LINK_ARGUMENT_SPEC,
    Tactl,
    TactlError,
)


def backup_name(params):
    """The port and remote number as a file name, with the time."""
    where = params.get("port") or "search"
    if params.get("remote"):
        where += "-" + params["remote"]
    where = re.sub(r"[^A-Za-z0-9.+-]+", "_", where).strip("_.")
    return where + "-" + time.strftime("%Y%m%dT%H%M%S")


def save_backup(module, current):
    """The TA's settings in a file of their own, never over an earlier one."""
    folder = os.path.expanduser(module.params["backup_dir"])
    try:
        os.makedirs(folder, exist_ok=True)
        with open(current, "rb") as f:
            settings = f.read()
        stem = os.path.join(folder, backup_name(module.params))
        for attempt in range(100):
            path = stem + ("-%d" % attempt if attempt else "") + ".cfg"
            try:
                fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            except OSError as e:
                if e.errno == errno.EEXIST:
                    continue
                raise
            with os.fdopen(fd, "wb") as f:
                f.write(settings)
            return path
        raise OSError(errno.EEXIST, "no free name", stem)
    except (IOError, OSError) as e:
        module.fail_json(msg="Cannot save the backup in %s: %s; nothing was written" % (folder, e), changed=False)


def after_text(before, differences):
    """The TA's settings as they will be: the lines of the fields that
    differ get the wanted value ("name: TA -> wanted")."""
    lines = before.splitlines(True)
    at = dict((line.split(" = ", 1)[0], i) for i, line in enumerate(lines))
    for difference in differences:
        name, _, change = difference.partition(": ")
        if name not in at:
            continue
        held = lines[at[name]].rstrip("\n").split(" = ", 1)[1]
        wanted = change[len(held) + 4:] if change.startswith(held + " -> ") else change.rsplit(" -> ", 1)[-1]
        lines[at[name]] = "%s = %s\n" % (name, wanted)
    return "".join(lines)


def bring_to_state(module, tactl, result):
    params = module.params
    if params["src"] and not os.path.isfile(params["src"]):
        module.fail_json(msg="src %s is no file" % params["src"], **result)
    current = tactl.path("current.cfg")
    told = tactl.query(current)
    wanted = tactl.wanted_profile(current, params["src"], params["settings"])
    # The clock counts only when the settings name it.
    asked = set(params["settings"] or {})
    differences = tactl.differences(wanted, volatile_too=bool(asked & tactl.volatile_fields(current)))
    result.update(differences=differences, changed=bool(differences))
    if module._diff:
        before = tactl.stable_text(current)
        header = "TA on " + told.get("port", params.get("port") or "the port found")
        result["diff"] = dict(before_header=header, before=before, after_header=header + " (wanted)",
                              after=after_text(before, differences))
    if not differences or module.check_mode:
        return
    if params["backup"]:
        result["backup_file"] = save_backup(module, current)
    not_taken = tactl.submit(wanted, params["verify"])
    if not_taken:
        result["not_taken"] = not_taken
        module.fail_json(msg="The TA did not take every value: " + "; ".join(not_taken), **result)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            LINK_ARGUMENT_SPEC,
            src=dict(type="path"),
            settings=dict(type="dict"),
            backup=dict(type="bool", default=False),
            backup_dir=dict(type="path", default="~/ta-backups"),
            verify=dict(type="bool", default=True),
        ),
        required_one_of=[("src", "settings")],
        supports_check_mode=True,
    )
    result = dict(changed=False, differences=[])
    try:
        bring_to_state(module, Tactl(module), result)
    except TactlError as e:
        result.update(e.result)
        module.fail_json(msg=str(e), **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
