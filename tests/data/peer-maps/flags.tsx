<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="flags" tilewidth="32" tileheight="32" tilecount="16" columns="4">
 <image source="sample.flags.png" width="128" height="128"/>
 <tile id="0">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="1">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="2">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="3">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="4">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="5">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="6">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="7">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="false"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="8">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="9">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="10">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="11">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="12">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="13">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="false"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="14">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
 <tile id="15">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="priority" type="bool" value="true"/>
   <property name="wallEast" type="bool" value="true"/>
   <property name="wallSouth" type="bool" value="true"/>
  </properties>
 </tile>
</tileset>
