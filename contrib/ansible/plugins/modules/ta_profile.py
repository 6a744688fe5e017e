#!/usr/bin/python
# Brings an ISDN terminal adapter to a wanted state through tactl.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: ta_profile
short_description: Bring an ISDN terminal adapter to wanted settings
version_added: 1.2.0
description:
  - Brings the TA to the settings of C(src) and C(settings) with one C(tactl apply) session (one call with
    C(remote)), which reads the TA, writes only the settings that differ and reads them back.
  - What is no setting, the TA's clock, its charge information and its firmware version, makes no
    difference. Only a clock named in C(settings) (C(sysDate), C(sysTime)) is compared, and so written
    whenever the TA's differs.
  - A setting in C(settings) that a write would not leave on the TA as asked fails the task with its name
    before anything is written, in check mode too, such as an X.25 field without C(x25), an outgoing
    screening sub-address (which no command of the TA sets) or a multilink threshold under fixed multilink.
  - Failures carry C(failure_class); C(busy) and C(unreachable) are worth a retry later (C(retry) is true),
    for example with C(retries) and C(until) on the task.
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
      - Fail, listing them, when the read-back after the write finds a value the TA kept of its own.
      - The TA is read back after every write; without C(verify) what it kept is only returned in
        C(not_taken).
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
    details: The settings that would change, before and after, as C(tactl show --stable) prints them.
  platform:
    platforms: posix
author:
  - tautil developers (!UNKNOWN)
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

- name: Configure the TA at the far end of a call, trying again while its port is busy
  isdnta.tautil.ta_profile:
    port: /dev/ttyS0
    remote: "0301234"
    src: /etc/ta/branch.cfg
    timeout: 300
  register: branch
  retries: 3
  delay: 60
  until: branch is success or not branch.retry | default(false)
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
written:
  description: The settings the TA acknowledged during the write.
  returned: always
  type: int
  sample: 2
verified:
  description: The write was read back and the TA held every value written.
  returned: always
  type: bool
  sample: true
backup_file:
  description: The profile file that holds the TA's settings from before the write.
  returned: when C(backup) is set and the settings were written
  type: str
  sample: /home/admin/ta-backups/dev_ttyUSB0-20260105T143000.cfg
not_taken:
  description:
    - 'The values the TA kept of its own after the write, C(name: sent -> TA has); with C(verify) the task
      fails when there are any.'
  returned: when the read-back found any
  type: list
  elements: str
  sample: ["dataPort1.callType: 1 (HDLC transparent) -> 8 (PPP or MLP)"]
failure_class:
  description:
    - Why tactl failed, as its C(--json) names it, C(busy), C(unreachable), C(not-a-ta), C(line),
      C(refused-setting), C(timeout), C(interrupted), C(local) or C(other).
  returned: failure
  type: str
  sample: busy
retry:
  description: The failure is one that a later try may not meet (the port was busy or unreachable).
  returned: failure
  type: bool
  sample: true
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


def keep_backup(module, saved):
    """The TA's settings from before the write in a file of their own in
    backup_dir, never over an earlier one."""
    folder = os.path.expanduser(module.params["backup_dir"])
    try:
        os.makedirs(folder, exist_ok=True)
        stem = os.path.join(folder, backup_name(module.params))
        for attempt in range(100):
            path = stem + ("-%d" % attempt if attempt else "") + ".cfg"
            try:
                fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            except OSError as e:
                if e.errno == errno.EEXIST:
                    continue
                raise
            with open(saved, "rb") as source, os.fdopen(fd, "wb") as target:
                target.write(source.read())
            return path
        raise OSError(errno.EEXIST, "no free name", stem)
    except (IOError, OSError) as e:
        module.fail_json(msg="The TA was written, but its backup could not be kept in %s: %s (%s)"
                         % (folder, e, saved), changed=True)


def folder_ready(module):
    """backup_dir exists and takes files, asked before the TA is written."""
    folder = os.path.expanduser(module.params["backup_dir"])
    try:
        os.makedirs(folder, exist_ok=True)
    except OSError as e:
        module.fail_json(msg="Cannot save the backup in %s: %s; nothing was written" % (folder, e), changed=False)
    if not os.access(folder, os.W_OK | os.X_OK):
        module.fail_json(msg="Cannot save the backup in %s: not writable; nothing was written" % folder, changed=False)


def line_of(difference, before):
    """One side of a difference as a line of tactl show."""
    return "%s = %s\n" % (difference["field"], difference["old" if before else "new"])


def keep_if_written(module, backup, result):
    """A backup counts once something was written, even by a write that failed."""
    if backup and result["written"] and os.path.exists(backup):
        result["backup_file"] = keep_backup(module, backup)


def take_outcome(module, outcome, result):
    """What apply found and did, into the module's result."""
    differences = outcome.get("differences", [])
    result.update(differences=["%s: %s -> %s" % (d["field"], d["old"], d["new"]) for d in differences],
                  written=outcome.get("written", 0), verified=outcome.get("verified", False))
    result["changed"] = outcome.get("changed", False) if module.check_mode else result["written"] > 0
    if module._diff:
        header = "TA on " + (module.params.get("port") or "the port found")
        result["diff"] = dict(before_header=header, before="".join(line_of(d, True) for d in differences),
                              after_header=header + " (wanted)", after="".join(line_of(d, False) for d in differences))


def bring_to_state(module, tactl, result):
    params = module.params
    if params["src"] and not os.path.isfile(params["src"]):
        module.fail_json(msg="src %s is no file" % params["src"], **result)
    backup = None
    if params["backup"] and not module.check_mode:
        folder_ready(module)
        backup = tactl.path("before.cfg")
    try:
        outcome = tactl.apply(params["src"], params["settings"], module.check_mode, backup)
    except TactlError as e:
        take_outcome(module, e.outcome, result)
        keep_if_written(module, backup, result)
        raise
    take_outcome(module, outcome, result)
    keep_if_written(module, backup, result)
    not_taken = ["%s: %s -> %s" % (d["field"], d["sent"], d["taHas"]) for d in outcome["notTaken"]]
    if not_taken:
        result["not_taken"] = not_taken
        if params["verify"]:
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
    result = dict(changed=False, differences=[], written=0, verified=False)
    try:
        bring_to_state(module, Tactl(module), result)
    except TactlError as e:
        result.update(e.result)
        module.fail_json(msg=str(e), **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
