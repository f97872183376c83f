// How a port button on the Option tab looks while the ports are searched.
#pragma once

enum class PortLook { Probing, Unusable, Programmer, NoProgrammer };
