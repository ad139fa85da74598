"""A pymodbus master against the register server: prints what it saw as one JSON object."""
import json
import sys

from pymodbus.client import ModbusTcpClient


def exception_code(response):
    return response.exception_code if response.isError() else None


def confirmed(response):
    return None if response.isError() else [response.address, response.count]


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
    seen["reset"] = confirmed(client.write_registers(4, [1], slave=1))
    seen["after_reset"] = client.read_holding_registers(0, 4, slave=1).registers
    seen["write_zero"] = confirmed(client.write_registers(4, [0], slave=1))
    seen["beside_reset"] = confirmed(client.write_registers(0, [1, 1], slave=1))
    client.close()
    print(json.dumps(seen))
    return 0


if __name__ == "__main__":
    sys.exit(main())
