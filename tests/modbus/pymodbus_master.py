"""A pymodbus master against the register server: prints what it saw as one JSON object."""
import json
import sys

from pymodbus.client import ModbusTcpClient


def exception_code(response):
    return response.exception_code if response.isError() else None


def main():
    client = ModbusTcpClient("127.0.0.1", port=int(sys.argv[1]), timeout=3, retries=0)
    if not client.connect():
        print(json.dumps({"connected": False}))
        return 1
    seen = {"connected": True}
    seen["registers"] = client.read_holding_registers(0, 4, slave=1).registers
    seen["past_served"] = client.read_holding_registers(2, 8, slave=1).registers
    seen["single_write"] = exception_code(client.write_register(4, 1, slave=1))
    seen["past_end"] = exception_code(client.read_holding_registers(65535, 2, slave=1))
    seen["wrong_register"] = exception_code(client.write_registers(0, [1, 1], slave=1))
    seen["wrong_value"] = exception_code(client.write_registers(4, [2], slave=1))
    reset = client.write_registers(4, [1], slave=1)
    seen["reset"] = None if reset.isError() else [reset.address, reset.count]
    seen["after_reset"] = client.read_holding_registers(0, 4, slave=1).registers
    client.close()
    print(json.dumps(seen))
    return 0


if __name__ == "__main__":
    sys.exit(main())
