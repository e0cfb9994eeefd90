-- Method calls on class instances, with field reads and writes.
local Point = {}
Point.__index = Point
setmetatable(Point, {
  __call = function(cls, a, b) return setmetatable({ x = a, y = b }, cls) end,
})
function Point:add(o)
  self.x = self.x + o.x
  self.y = self.y + o.y
  return self
end
function Point:len2() return self.x * self.x + self.y * self.y end

local p, d = Point(0, 0), Point(1, 2)
local s = 0
for i = 0, 299999 do
  p:add(d)
  s = s + d:len2()
end
print(s)
