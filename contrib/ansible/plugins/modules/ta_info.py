#!/usr/bin/python
# Reads an ISDN terminal adapter through tactl and returns what it is and holds.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: ta_info
short_description: Read an ISDN terminal adapter's model, firmware and settings
version_added: 1.2.0
description:
  - Reads the TA with C(tactl query) and returns what it is and every setting it holds under C(ta).
  - Writes nothing to the TA and sets no facts; register the result to use it.
  - Failures carry C(failure_class); C(busy) and C(unreachable) are worth a retry later.
extends_documentation_fragment:
  - isdnta.tautil.tactl
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  platform:
    platforms: posix
author:
  - tautil developers (!UNKNOWN)
"""

EXAMPLES = r"""
- name: Read the TA
  isdnta.tautil.ta_info:
    port: /dev/ttyUSB0
  register: info

- name: Keep its settings in a backup that changes only when a setting does
  ansible.builtin.copy:
    content: "{{ info.ta.settings | to_nice_json }}\n"
    dest: "backups/{{ inventory_hostname }}.json"
    mode: "0644"
  delegate_to: localhost
"""

RETURN = r"""
ta:
  description: What the TA is and holds.
  returned: success
  type: dict
  contains:
    port:
      description: The port the TA was found on, as tactl describes it.
      type: str
      sample: /dev/ttyUSB0 (FTDI USB serial converter, A5012345)
    model:
      description: The model the TA named; empty for a TA of another model.
      type: str
      sample: QM7B2-HXN
    firmware:
      description: The TA's firmware version.
      type: str
      sample: V2.10
    settings:
      description:
        - Every setting as C(tactl show --stable --json) prints it, field name to value, with the label of
          each coded value beside it as C(name.label); the JSON Schema is docs/profile.schema.json of tautil.
        - The clock is left out (see C(ta.clock)), so the settings compare equal as long as no setting
          changed.
      type: dict
      sample: {"countryCode": 237, "countryCode.label": "German", "dataPort1.dn": "0301234", "redialCount": 3}
    clock:
      description: The TA's date and time as it reported them, the fields C(ta.settings) leaves out.
      type: dict
      sample: {"sysDate": "05-01-2026", "sysTime": "14:30:00"}
    charges:
      description: The TA's charge information, of the last call and accumulated.
      type: dict
      sample: {"last_call": "0", "accumulated": "12"}
failure_class:
  description: Why tactl failed, as its C(--json) names it (C(busy), C(unreachable), C(not-a-ta), C(line) ...).
  returned: failure
  type: str
  sample: unreachable
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.isdnta.tautil.plugins.module_utils.tactl import (
    LINK_ARGUMENT_SPEC,
    Tactl,
    TactlError,
)

def read_ta(tactl):
    profile = tactl.path("ta.cfg")
    told = tactl.query(profile)
    every, settings = tactl.json_fields(profile, stable=False), tactl.json_fields(profile)
    return dict(
        port=told.get("port", ""),
        model=told.get("model", ""),
        firmware=told.get("firmwareVersion", ""),
        settings=settings,
        # What the stable form leaves out: the clock.
        clock=dict((name, value) for name, value in every.items() if name not in settings),
        charges=dict(last_call=told.get("lastCallCharge", ""), accumulated=told.get("accumulatedCharge", "")),
    )


def main():
    module = AnsibleModule(argument_spec=dict(LINK_ARGUMENT_SPEC), supports_check_mode=True)
    try:
        ta = read_ta(Tactl(module))
    except TactlError as e:
        module.fail_json(msg=str(e), **e.result)
    module.exit_json(changed=False, ta=ta)


if __name__ == "__main__":
    main()
