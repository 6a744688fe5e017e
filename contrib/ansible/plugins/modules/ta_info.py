#!/usr/bin/python
# Reads an ISDN terminal adapter through tactl and returns what it is and holds.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: ta_info
short_description: Read an ISDN terminal adapter's model, firmware and settings
version_added: 1.2.0
description:
  - Reads the TA with C(tactl query) and returns what it is and every setting it holds as facts.
  - Writes nothing to the TA.
extends_documentation_fragment:
  - isdnta.tautil.tactl
  - ansible.builtin.action_common_attributes
  - ansible.builtin.action_common_attributes.facts
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  facts:
    support: full
  platform:
    platforms: posix
author:
  - tautil developers
"""

EXAMPLES = r"""
- name: Read the TA
  isdnta.tautil.ta_info:
    port: /dev/ttyUSB0

- name: Keep its settings in a backup that changes only when a setting does
  ansible.builtin.copy:
    content: "{{ ta_settings | to_nice_json }}\n"
    dest: "backups/{{ inventory_hostname }}.json"
  delegate_to: localhost
"""

RETURN = r"""
ansible_facts:
  description: What the TA is and holds.
  returned: always
  type: complex
  contains:
    ta_port:
      description: The port the TA was found on, as tactl describes it.
      type: str
      sample: /dev/ttyUSB0 (FTDI USB serial converter, A5012345)
    ta_model:
      description: The model the TA named; empty for a TA of another model.
      type: str
      sample: QM7B2-HXN
    ta_firmware:
      description: The TA's firmware version.
      type: str
      sample: V2.10
    ta_settings:
      description:
        - Every setting as C(tactl show --stable --json) prints it, field name to value, with the label of
          each coded value beside it as C(name.label); the JSON Schema is docs/profile.schema.json of tautil.
        - The clock is left out (see C(ansible_facts.ta_clock)), so the settings compare equal as long as no
          setting changed.
      type: dict
      sample: {"countryCode": 237, "countryCode.label": "German", "dataPort1.dn": "0301234", "redialCount": 3}
    ta_clock:
      description: The TA's date and time as it reported them, the fields C(ansible_facts.ta_settings) leaves out.
      type: dict
      sample: {"sysDate": "05-01-2026", "sysTime": "14:30:00"}
    ta_charges:
      description: The TA's charge information, of the last call and accumulated.
      type: dict
      sample: {"last_call": "0", "accumulated": "12"}
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
        ta_port=told.get("port", ""),
        ta_model=told.get("model", ""),
        ta_firmware=told.get("firmwareVersion", ""),
        ta_settings=settings,
        # What the stable form leaves out: the clock.
        ta_clock=dict((name, value) for name, value in every.items() if name not in settings),
        ta_charges=dict(last_call=told.get("lastCallCharge", ""), accumulated=told.get("accumulatedCharge", "")),
    )


def main():
    module = AnsibleModule(argument_spec=dict(LINK_ARGUMENT_SPEC), supports_check_mode=True)
    try:
        facts = read_ta(Tactl(module))
    except TactlError as e:
        module.fail_json(msg=str(e), **e.result)
    module.exit_json(changed=False, ansible_facts=facts)


if __name__ == "__main__":
    main()
